// kitfeed: the resident serial-only kitchen printer for fifteen ports at
// 9600,n,8,1. A job reports its steps as "TM1" ... "TM8"; a port field naming
// no port is an ordinary job result, and "P" prints nothing; any other
// failure ends the process. "kit_error" and "kit_text" are not cleared
// between jobs.
#include <array>

#include "kitchen/keys.h"
#include "kitchen/kitchen.h"
#include "kitchen/resident_printer.h"

namespace pink::kitchen {
namespace {

constexpr std::array kStartKeys{
    KeyValue{keys::kProcess, "OP"},
    KeyValue{keys::kState, keys::kStart},
    KeyValue{keys::kRequest, keys::kNo},
    KeyValue{keys::kError, ""},
    KeyValue{keys::kText, ""},
};

constexpr std::array kJobKeys{
    KeyValue{keys::kProcess, "TM1"},
};

const ResidentProfile kKitfeed{
    .program = "kitfeed",
    .ports = 15,
    .single_instance = false,
    .speeds_from_mailbox = false,
    .layout = mailbox::HeaderLayout::ByLength,
    .trim_port = false,  // the port field as read
    .parallel_port = false,
    .bad_port_is_result = true,
    .pump_while_draining = false,
    .dialect = Dialect::Kitfeed,
    .start_keys = kStartKeys,
    .job_keys = kJobKeys,
    .request_cleared_at_end = true,
    .markers = {.header_read = "TM2",
                .port_chosen = "TM3",
                .print_begin = "TM4",
                .after_body = "TM5",
                .after_signal = "TM6",
                .drained = "TM7",
                .done = "TM8",
                .port_suffix = false},
    .failure_marker = "EN1",
    .failure_names_where = false,
    .unload_marker = "",
    .close_failure_marker = "CL1",
    .caption = "포트OPEN:",
    .first_label = "P",
    .label_separator = "-",
    .bad_port_text = "포트지정오류 ",
};

}  // namespace

const ResidentProfile& kitfeed_profile() { return kKitfeed; }

int run_kitfeed() { return run_resident(kKitfeed); }

}  // namespace pink::kitchen
