#include "spoolers/printer.h"

int main() { return pink::spoolers::run_enter(); }
