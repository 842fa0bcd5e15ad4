#include "tests/automation/core_double.h"

namespace pink::msgcall {

testing::CoreDouble& testing::core_double() {
  static CoreDouble d;
  return d;
}

void testing::reset_core_double() { core_double() = CoreDouble{}; }

std::int32_t mms_send(const Message& message) {
  testing::core_double().calls.push_back({"send", 0, 0, 0, message});
  return testing::core_double().answer;
}

std::int32_t mms_connect() {
  testing::core_double().calls.push_back({"connect", 0, 0, 0, {}});
  return testing::core_double().answer;
}

std::int32_t mms_send_dongbo(std::int32_t socket_id, std::int32_t first, std::int32_t last,
                             const Message& message) {
  testing::core_double().calls.push_back({"send_dongbo", socket_id, first, last, message});
  return testing::core_double().answer;
}

std::int32_t mms_close(std::int32_t socket_id) {
  testing::core_double().calls.push_back({"close", socket_id, 0, 0, {}});
  return 0;
}

}  // namespace pink::msgcall
