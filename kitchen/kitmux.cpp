// kitmux: the resident kitchen printer for sixteen serial ports and the
// parallel port. Line settings per port from "prtspeed"; a job announces
// itself ("ST", "start") and reports every step with the port field; a port
// field naming no port is a failure. Any failure ends the process (the POS
// starts it again); a normal stop writes "Unload" and closes the open ports.
// Only one runs at a time.
#include <array>

#include "kitchen/keys.h"
#include "kitchen/kitchen.h"
#include "kitchen/resident_printer.h"

namespace pink::kitchen {
namespace {

constexpr std::array kStartKeys{
    KeyValue{keys::kState, "Load"},
    KeyValue{keys::kError, ""},
    KeyValue{keys::kText, ""},
    KeyValue{keys::kProcess, "Load"},
};

constexpr std::array kJobKeys{
    KeyValue{keys::kProcess, "ST"},
    KeyValue{keys::kState, keys::kStart},
    KeyValue{keys::kError, ""},
    KeyValue{keys::kText, ""},
};

const ResidentProfile kKitmux{
    .program = "kitmux",
    .ports = 16,
    .single_instance = true,
    .speeds_from_mailbox = true,
    .layout = mailbox::HeaderLayout::SixCharacter,
    .trim_port = true,
    .parallel_port = true,
    .bad_port_is_result = false,
    .pump_while_draining = true,
    .dialect = Dialect::Kitchen,
    .start_keys = kStartKeys,
    .job_keys = kJobKeys,
    .request_cleared_at_end = false,
    .markers = {.serial_lookup = "SP1",
                .serial_found = "SP2",
                .ready = "SP3",
                .after_body = "SP4",
                .after_signal = "SP5",
                .drained = "SP6",
                .parallel_open = "LP1",
                .parallel_opened = "LP2",
                .parallel_body = "LP3",
                .parallel_signal = "LP4",
                .done = "SP7",
                .port_suffix = true},
    .failure_marker = "Err_Rtn",
    .failure_names_where = true,
    .unload_marker = "Unload",
    .close_failure_marker = "",
    .caption = "Port Open",
    .first_label = "",
    .label_separator = ",",
    .bad_port_text = "",
};

}  // namespace

const ResidentProfile& kitmux_profile() { return kKitmux; }

int run_kitmux() { return run_resident(kKitmux); }

}  // namespace pink::kitchen
