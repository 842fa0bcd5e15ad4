#include "kitchen/kitchen.h"

int main() { return pink::kitchen::run_kitchen(pink::kitchen::kKitchenB); }
