#include "tools/padctl/families.h"

#include <algorithm>

namespace pink::padctl {
namespace {

// --- building rows -------------------------------------------------------------

// The command's argument `index`; `fallback` (never a null view) stands in
// for an optional one that was not given.
constexpr Param arg(int index, std::string_view fallback = {}) { return {From::Arg, PINK_STR, index, fallback}; }
constexpr Param text(std::string_view t) { return {From::Text, PINK_STR, 0, t}; }
constexpr Param out_short(std::string_view name) { return {From::Out, PINK_I2, 0, name}; }
constexpr Param port(std::int32_t type) { return {From::Port, type, 0, {}}; }

template <typename... P>
constexpr Call call(std::string_view member, Expect expect, P... params) {
  Call c{member};
  c.params = {params...};
  c.count = sizeof...(params);
  c.expect = expect;
  return c;
}

constexpr Call when(Call c, When w) {
  c.when = w;
  return c;
}

constexpr Call property(std::string_view name) {
  Call c{name};
  c.kind = PINK_GET;
  return c;
}

constexpr Call put(std::string_view name, Param value) {
  Call c{name};
  c.kind = PINK_PUT;
  c.params = {value};
  c.count = 1;
  return c;
}

// --- tallypad --------------------------------------------------------------------

constexpr Call kTallySetup[] = {
    call("SetPortNo", Expect::One, port(PINK_I2)),
    when(call("SetBaudRate", Expect::One, Param{From::Baud, PINK_I4}), When::WithBaud),
};

// Each answer is fetched with its own Data member, whose out-argument says
// whether the answer arrived whole.
constexpr Call data(std::string_view member) { return call(member, Expect::OutOne, out_short("nEventRet")); }

constexpr Call kTallyInitData[] = {data("TallyPadInitData")};
constexpr Call kTallySignData[] = {data("TallySignSendData"),
                                   when(call("TallyGetSignBMP", Expect::One, Param{From::Bmp}), When::WithBmp)};
constexpr Call kTallyPinData[] = {data("TallyGetPinData")};
constexpr Call kTallyPinEncData[] = {data("TallyGetPinEncData")};
constexpr Call kLogOnData[] = {data("TallyGetDongleLogOnData")};
constexpr Call kCardData[] = {data("TallyGetDongleCardData")};
constexpr Call kMemberData[] = {data("TallyGetDongleMemberData")};
constexpr Call kDebitData[] = {data("TallyGetDongleDebitData")};
constexpr Call kTicketData[] = {data("TallyGetDongleTicketData")};
constexpr Call kGiftData[] = {data("TallyGetDongleGiftData")};
constexpr Call kSportsData[] = {data("TallyGetDongleSportsData")};
constexpr Call kCashData[] = {data("TallyGetDongleCashData")};
constexpr Call kCardMemberData[] = {data("TallyGetDongleCardMemberData")};

// A request answered by one event, whose data its Data member fetches.
constexpr Command answered(std::string_view name, std::string_view usage, std::string_view help, int args,
                           Call request, std::string_view event, std::span<const Call> results) {
  Command c{name, usage, help, args, args};
  c.steps[0] = Step{request, {On{event, Then::Done}}};
  c.results = results;
  return c;
}

// The card reader requests with an id: transaction number, site id, the id.
constexpr Command card_request(std::string_view name, std::string_view help, std::string_view member,
                               std::string_view id, std::string_view event, std::span<const Call> results) {
  Command c = answered(name, {}, help, 3, call(member, Expect::One, arg(0), arg(1), arg(2)), event, results);
  c.usage = id;
  return c;
}

constexpr Command tally_sign() {
  Command c{"sign", "AMOUNT [MSG]",
            "signature: the pad shows AMOUNT and MSG, the customer signs and confirms on the pad, then the "
            "signature data are fetched (and the bitmap written with --bmp)",
            1, 2};
  c.steps[0] = Step{call("TallySignReq", Expect::One, arg(0), arg(1, "")),
                    {On{"OnSignSendInput", Then::Next}, On{"OnSignSendCancel", Then::Fail}}};
  c.steps[1] = Step{call("TallySignSend", Expect::One), {On{"OnSignSendEvent", Then::Done}}};
  c.step_count = 2;
  c.results = kTallySignData;
  c.takes_bmp = true;
  return c;
}

constexpr Command tally_cancel() {
  Command c{"donglecancel", "", "cancels the card reader's request", 0, 0};
  c.steps[0] = Step{call("TallyDongleCancel", Expect::One)};
  c.ends_when_written = true;
  return c;
}

constexpr Command kTallyCommands[] = {
    answered("init", "", "asks the pad for its init answer", 0, call("TallyPadInit", Expect::One),
             "OnPadInitEvent", kTallyInitData),
    tally_sign(),
    answered("pin", "AMOUNT MSG", "PIN entry", 2, call("TallyGetPin", Expect::One, arg(0), arg(1)), "OnPinEvent",
             kTallyPinData),
    answered("pinenc", "CARDNO AMOUNT MSG", "encrypted PIN entry for the card number", 3,
             call("TallyGetPinEnc", Expect::One, arg(0), arg(1), arg(2)), "OnPinEncEvent", kTallyPinEncData),
    answered("logon", "SITEID", "card reader log-on", 1, call("TallyGetDongleLogOn", Expect::One, arg(0)),
             "OnDongleLogOnEvent", kLogOnData),
    answered("card", "TRANSNO SITEID", "card reader: card", 2,
             call("TallyGetDongleCard", Expect::One, arg(0), arg(1)), "OnDongleCardEvent", kCardData),
    card_request("member", "card reader: member card", "TallyGetDongleMember", "TRANSNO SITEID MEMBERID",
                 "OnDongleMemberEvent", kMemberData),
    card_request("debit", "card reader: debit card", "TallyGetDongleDebit", "TRANSNO SITEID DEBITID",
                 "OnDongleDebitEvent", kDebitData),
    card_request("ticket", "card reader: ticket", "TallyGetDongleTicket", "TRANSNO SITEID TICKETID",
                 "OnDongleTicketEvent", kTicketData),
    card_request("gift", "card reader: gift card", "TallyGetDongleGift", "TRANSNO SITEID GIFTID",
                 "OnDongleGiftEvent", kGiftData),
    card_request("sports", "card reader: sports card", "TallyGetDongleSports", "TRANSNO SITEID SPORTSID",
                 "OnDongleSportsEvent", kSportsData),
    card_request("cash", "card reader: cash card", "TallyGetDongleCash", "TRANSNO SITEID CASHID",
                 "OnDongleCashEvent", kCashData),
    answered("cardmember", "TRANSNO SITEID CARDID MEMBERID", "card reader: card and member card", 4,
             call("TallyGetDongleCardMember", Expect::One, arg(0), arg(1), arg(2), arg(3)),
             "OnDongleCardMemberEvent", kCardMemberData),
    answered("cardinfo", "SITEID CARDINFO", "stores card information in the card reader", 2,
             call("TallySetDongleCardInfo", Expect::One, arg(0), arg(1)), "OnDongleCardInfoEvent", {}),
    tally_cancel(),
};

constexpr On kTallyOn[] = {{"OnCSDError", Then::Fail}};

// --- stylpad -------------------------------------------------------------------

constexpr Param log_path() { return {From::LogPath, PINK_STR}; }

constexpr Call kStylSignBefore[] = {call("SetImgName", Expect::Zero, Param{From::Bmp})};
constexpr Call kStylSignResults[] = {call("GetRtnVal", Expect::One), call("GetSigndata", Expect::NonEmpty),
                                     call("checkConfirm", Expect::Any)};
constexpr Call kStylPinBefore[] = {call("SetPinLen", Expect::Any, Param{From::PinLen})};
constexpr Call kStylPinResults[] = {call("pinpadValue", Expect::NonEmpty)};
constexpr std::string_view kStylSignActions[] = {"accept", "clear", "nosign"};
constexpr std::string_view kStylPinActions[] = {"exit"};

constexpr Command styl_sign() {
  Command c{"sign", "[AMOUNT]",
            "signature: the pad shows AMOUNT; the job ends when the pad sends the signature (accept) or "
            "ends it; the bitmap goes to --bmp",
            0, 1};
  c.before = kStylSignBefore;
  c.steps[0] = Step{call("OpenSign", Expect::Zero, log_path(), port(PINK_I4), arg(0, ""))};
  c.results = kStylSignResults;
  c.actions = kStylSignActions;
  c.takes_bmp = true;
  return c;
}

constexpr Command styl_pin() {
  Command c{"pin", "", "PIN entry of --len digits (4 unless given)", 0, 0};
  c.before = kStylPinBefore;
  c.steps[0] = Step{call("OpenPinpad", Expect::Zero, log_path(), port(PINK_I4))};
  c.results = kStylPinResults;
  c.actions = kStylPinActions;
  c.takes_len = true;
  return c;
}

constexpr Command kStylCommands[] = {styl_sign(), styl_pin()};

// Every stylpad job ends with GetOCXMsg, when the pad's port has closed.
constexpr On kStylOn[] = {{"GetOCXMsg", Then::Done}};

constexpr Action kStylActions[] = {
    {"accept", call("AcceptSign", Expect::Any), Effect::Continue, "the signature is accepted: the pad sends it"},
    {"clear", call("Clr", Expect::Any), Effect::Continue, "clears the pad's screen for a new signature"},
    {"nosign", call("NoSign", Expect::Any), Effect::AwaitsEnd, "the customer does not sign: the job ends"},
    {"exit", call("ExitPinPad", Expect::Any), Effect::AwaitsEnd, "ends the PIN entry"},
};

// --- quillpad ------------------------------------------------------------------

constexpr Call kQuillSetup[] = {
    call("SetPortNo", Expect::Zero, port(PINK_I2)),
    when(call("SetBaudRate", Expect::Zero, Param{From::Baud, PINK_I4}), When::WithBaud),
    when(put("strYNLog", text("Y")), When::WithLog),
};

constexpr Call kQuillSignResults[] = {
    when(call("QuillGetSignBMP", Expect::One, arg(0), arg(1), Param{From::Bmp}), When::WithBmp),
    call("QuillGetSignData", Expect::OutOne, out_short("nSuccess")),
    property("strYNSignStarted"),
};
constexpr Call kQuillInfoResults[] = {call("QuillGetCustInfoData", Expect::OutOne, out_short("nSuccess")),
                                      property("strCustInfoData")};
constexpr Call kQuillPinResults[] = {call("QuillGetPinData", Expect::OutOne, out_short("nSuccess")),
                                     property("strPinData")};
constexpr std::string_view kQuillActions[] = {"cancel"};

constexpr Command with_actions(Command c, std::span<const std::string_view> actions) {
  c.actions = actions;
  return c;
}

constexpr Command with_args(Command c, int min, int max) {
  c.min_args = min;
  c.max_args = max;
  return c;
}

constexpr Command quill_sign() {
  Command c = answered("sign", "CARDNO TRINFO",
                       "signature for the card number and the transaction text (the amount is its 12 characters "
                       "from offset 34); the signature record is fetched (and the bitmap written with --bmp)",
                       2, call("QuillElecSign", Expect::Any, arg(0), arg(1)), "OnSignEnd", kQuillSignResults);
  c.actions = kQuillActions;
  c.takes_bmp = true;
  return c;
}

constexpr Command quill_cancel() {
  Command c{"cancel", "", "stops the pad", 0, 0};
  c.steps[0] = Step{call("QuillCancel", Expect::Any)};
  c.ends_when_written = true;
  return c;
}

constexpr Command kQuillCommands[] = {
    quill_sign(),
    with_actions(answered("custinfo", "", "reads the customer information on the pad", 0,
                          call("QuillGetCustInfo", Expect::Any), "OnCustInfoEnd", kQuillInfoResults),
                 kQuillActions),
    with_actions(with_args(answered("pin", "CARDNO AMOUNT [WORKINGKEY]",
                                    "PIN entry under the 16-character working key (sixteen 0s unless given)", 0,
                                    call("QuillGetPin", Expect::Any, arg(0), arg(1), arg(2, "0000000000000000")),
                                    "OnPinEnd", kQuillPinResults),
                           2, 3),
                 kQuillActions),
    quill_cancel(),
};

constexpr On kQuillOn[] = {{"OnPadError", Then::Fail}, {"OnSignCancel", Then::Fail}, {"OnInputDataError", Then::Fail}};

constexpr Action kQuillActionRows[] = {
    {"cancel", call("QuillCancel", Expect::Any), Effect::EndsJob, "stops the pad: the job ends"},
};

// --- the families ------------------------------------------------------------------

constexpr Family kFamilies[] = {
    {"tallypad", "TALLYPAD.TallypadCtrl.1", kTallySetup, kTallyCommands, kTallyOn, {}, true, Family::Logs::None},
    {"stylpad", "STYLPAD.StylPadCtrl.1", {}, kStylCommands, kStylOn, kStylActions, false, Family::Logs::Argument},
    {"quillpad", "QUILLPAD.QuillpadCtrl.1", kQuillSetup, kQuillCommands, kQuillOn, kQuillActionRows, true,
     Family::Logs::WorkingFolder},
};

// A call's arguments of the command line are among those the command takes,
// and the optional ones have a default.
constexpr bool call_agrees(const Call& call, const Command& c) {
  if (call.count < 0 || call.count > 4) return false;
  for (int p = 0; p < call.count; ++p) {
    const Param& param = call.params[static_cast<std::size_t>(p)];
    if (param.from != From::Arg) continue;
    if (param.index >= c.max_args) return false;
    if (param.index >= c.min_args && param.text.data() == nullptr) return false;
  }
  return true;
}

// Every command's actions are actions of its family, and every call agrees
// with the command's arguments.
constexpr bool rows_agree() {
  for (const Family& f : kFamilies) {
    for (const Command& c : f.commands) {
      for (std::string_view a : c.actions) {
        if (std::none_of(f.actions.begin(), f.actions.end(), [&](const Action& r) { return r.name == a; })) {
          return false;
        }
      }
      if (c.min_args > c.max_args || c.step_count < 1 || c.step_count > 2) return false;
      for (int s = 0; s < c.step_count; ++s) {
        if (!call_agrees(c.steps[static_cast<std::size_t>(s)].call, c)) return false;
      }
      for (const Call& r : c.results) {
        if (!call_agrees(r, c)) return false;
      }
    }
  }
  return true;
}
static_assert(rows_agree());

}  // namespace

std::span<const Family> families() { return kFamilies; }

bool needs_bmp(const Command& c) {
  const auto writes = [](const Call& call) {
    return call.when == When::Always &&
           std::any_of(call.params.begin(), call.params.begin() + call.count,
                       [](const Param& p) { return p.from == From::Bmp; });
  };
  return std::any_of(c.before.begin(), c.before.end(), writes);
}

const Family* find_family(std::string_view name) {
  for (const Family& f : kFamilies) {
    if (f.name == name) return &f;
  }
  return nullptr;
}

const Command* find_command(const Family& f, std::string_view name) {
  for (const Command& c : f.commands) {
    if (c.name == name) return &c;
  }
  return nullptr;
}

const Action* find_action(const Family& f, std::string_view name) {
  for (const Action& a : f.actions) {
    if (a.name == name) return &a;
  }
  return nullptr;
}

}  // namespace pink::padctl
