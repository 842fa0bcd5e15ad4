// The automation description of the tallypad control: its class Tallypad in
// the type library TALLYPADLib, the dispatch interface _DTallypad (members
// 1 to 32) and the event interface _DTallypadEvents (events 1 to 17). The
// Linux API and the Windows control take the members from here.
//
// Request members return 1 when their frame went out whole and 0 otherwise.
// Every "...Data" member hands back the answer of its own request as a byte
// array and sets nEventRet to 1 when that request was the last one and its
// answer is complete; otherwise its result is empty and nEventRet is 0.
#pragma once

#include <array>
#include <cstdint>

#include "automation/table.h"

namespace pink::signpad::tally {

using automation::Dir;
using automation::Param;
using automation::Type;

// --- members -----------------------------------------------------------------

inline constexpr std::int32_t kDispPadInit = 1;
inline constexpr std::int32_t kDispSignReq = 2;
inline constexpr std::int32_t kDispPadInitData = 3;
inline constexpr std::int32_t kDispSignSend = 4;
inline constexpr std::int32_t kDispSignSendData = 5;
inline constexpr std::int32_t kDispGetPin = 6;
inline constexpr std::int32_t kDispGetPinData = 7;
inline constexpr std::int32_t kDispGetPinEnc = 8;
inline constexpr std::int32_t kDispGetPinEncData = 9;
inline constexpr std::int32_t kDispGetSignBMP = 10;
inline constexpr std::int32_t kDispDongleLogOn = 11;
inline constexpr std::int32_t kDispDongleLogOnData = 12;
inline constexpr std::int32_t kDispDongleCard = 13;
inline constexpr std::int32_t kDispDongleCardData = 14;
inline constexpr std::int32_t kDispDongleMember = 15;
inline constexpr std::int32_t kDispDongleMemberData = 16;
inline constexpr std::int32_t kDispDongleDebit = 17;
inline constexpr std::int32_t kDispDongleDebitData = 18;
inline constexpr std::int32_t kDispDongleTicket = 19;
inline constexpr std::int32_t kDispDongleTicketData = 20;
inline constexpr std::int32_t kDispDongleGiftData = 21;
inline constexpr std::int32_t kDispDongleSports = 22;
inline constexpr std::int32_t kDispDongleSportsData = 23;
inline constexpr std::int32_t kDispDongleCash = 24;
inline constexpr std::int32_t kDispDongleCashData = 25;
inline constexpr std::int32_t kDispDongleCardMember = 26;
inline constexpr std::int32_t kDispDongleCardMemberData = 27;
inline constexpr std::int32_t kDispDongleCancel = 28;
inline constexpr std::int32_t kDispSetDongleCardInfo = 29;
inline constexpr std::int32_t kDispDongleGift = 30;
inline constexpr std::int32_t kDispSetPortNo = 31;
inline constexpr std::int32_t kDispSetBaudRate = 32;

// Parameter lists.
inline constexpr std::array<Param, 0> kNone{};
inline constexpr std::array<Param, 1> kEventRet{{{"nEventRet", Type::I2, Dir::Out}}};
inline constexpr std::array<Param, 2> kAmountMsg{{{"strAmount", Type::Str, Dir::In},
                                                  {"strMsg", Type::Str, Dir::In}}};
inline constexpr std::array<Param, 3> kPinEncParams{{{"strCardNo", Type::Str, Dir::In},
                                                     {"strAmount", Type::Str, Dir::In},
                                                     {"strMsg", Type::Str, Dir::In}}};
inline constexpr std::array<Param, 1> kFileName{{{"strFileName", Type::Str, Dir::In}}};
inline constexpr std::array<Param, 1> kSiteId{{{"strSiteId", Type::Str, Dir::In}}};
inline constexpr std::array<Param, 2> kTransSite{{{"strTransNo", Type::Str, Dir::In},
                                                  {"strSiteId", Type::Str, Dir::In}}};
inline constexpr auto kMemberParams =
    automation::join(kTransSite, std::array<Param, 1>{{{"strMemberId", Type::Str, Dir::In}}});
inline constexpr auto kDebitParams =
    automation::join(kTransSite, std::array<Param, 1>{{{"strDebitId", Type::Str, Dir::In}}});
inline constexpr auto kTicketParams =
    automation::join(kTransSite, std::array<Param, 1>{{{"strTicketId", Type::Str, Dir::In}}});
inline constexpr auto kGiftParams =
    automation::join(kTransSite, std::array<Param, 1>{{{"strGiftId", Type::Str, Dir::In}}});
inline constexpr auto kSportsParams =
    automation::join(kTransSite, std::array<Param, 1>{{{"strSportsId", Type::Str, Dir::In}}});
inline constexpr auto kCashParams =
    automation::join(kTransSite, std::array<Param, 1>{{{"strCashId", Type::Str, Dir::In}}});
inline constexpr auto kCardMemberParams = automation::join(
    kTransSite, std::array<Param, 2>{{{"strCardId", Type::Str, Dir::In}, {"strMemberId", Type::Str, Dir::In}}});
inline constexpr std::array<Param, 2> kCardInfoParams{{{"strSiteId", Type::Str, Dir::In},
                                                       {"strCardInfo", Type::Str, Dir::In}}};
inline constexpr std::array<Param, 1> kPortParams{{{"nPort", Type::I2, Dir::In}}};
inline constexpr std::array<Param, 1> kRateParams{{{"nRate", Type::I4, Dir::In}}};

using automation::kMethod;

inline constexpr automation::Member kMembers[] = {
    {"TallyPadInit", kDispPadInit, kMethod, kNone, Type::I2},
    {"TallySignReq", kDispSignReq, kMethod, kAmountMsg, Type::I2},
    {"TallyPadInitData", kDispPadInitData, kMethod, kEventRet, Type::Bytes},
    {"TallySignSend", kDispSignSend, kMethod, kNone, Type::I2},
    {"TallySignSendData", kDispSignSendData, kMethod, kEventRet, Type::Bytes},
    {"TallyGetPin", kDispGetPin, kMethod, kAmountMsg, Type::I2},
    {"TallyGetPinData", kDispGetPinData, kMethod, kEventRet, Type::Bytes},
    {"TallyGetPinEnc", kDispGetPinEnc, kMethod, kPinEncParams, Type::I2},
    {"TallyGetPinEncData", kDispGetPinEncData, kMethod, kEventRet, Type::Bytes},
    {"TallyGetSignBMP", kDispGetSignBMP, kMethod, kFileName, Type::I2},
    {"TallyGetDongleLogOn", kDispDongleLogOn, kMethod, kSiteId, Type::I2},
    {"TallyGetDongleLogOnData", kDispDongleLogOnData, kMethod, kEventRet, Type::Bytes},
    {"TallyGetDongleCard", kDispDongleCard, kMethod, kTransSite, Type::I2},
    {"TallyGetDongleCardData", kDispDongleCardData, kMethod, kEventRet, Type::Bytes},
    {"TallyGetDongleMember", kDispDongleMember, kMethod, kMemberParams, Type::I2},
    {"TallyGetDongleMemberData", kDispDongleMemberData, kMethod, kEventRet, Type::Bytes},
    {"TallyGetDongleDebit", kDispDongleDebit, kMethod, kDebitParams, Type::I2},
    {"TallyGetDongleDebitData", kDispDongleDebitData, kMethod, kEventRet, Type::Bytes},
    {"TallyGetDongleTicket", kDispDongleTicket, kMethod, kTicketParams, Type::I2},
    {"TallyGetDongleTicketData", kDispDongleTicketData, kMethod, kEventRet, Type::Bytes},
    {"TallyGetDongleGiftData", kDispDongleGiftData, kMethod, kEventRet, Type::Bytes},
    {"TallyGetDongleSports", kDispDongleSports, kMethod, kSportsParams, Type::I2},
    {"TallyGetDongleSportsData", kDispDongleSportsData, kMethod, kEventRet, Type::Bytes},
    {"TallyGetDongleCash", kDispDongleCash, kMethod, kCashParams, Type::I2},
    {"TallyGetDongleCashData", kDispDongleCashData, kMethod, kEventRet, Type::Bytes},
    {"TallyGetDongleCardMember", kDispDongleCardMember, kMethod, kCardMemberParams, Type::I2},
    {"TallyGetDongleCardMemberData", kDispDongleCardMemberData, kMethod, kEventRet, Type::Bytes},
    {"TallyDongleCancel", kDispDongleCancel, kMethod, kNone, Type::I2},
    {"TallySetDongleCardInfo", kDispSetDongleCardInfo, kMethod, kCardInfoParams, Type::I2},
    {"TallyGetDongleGift", kDispDongleGift, kMethod, kGiftParams, Type::I2},
    {"SetPortNo", kDispSetPortNo, kMethod, kPortParams, Type::I2},
    {"SetBaudRate", kDispSetBaudRate, kMethod, kRateParams, Type::I2},
};

// --- events ------------------------------------------------------------------

inline constexpr std::int32_t kEvPadInit = 1;
inline constexpr std::int32_t kEvSignSend = 2;
inline constexpr std::int32_t kEvPin = 3;
inline constexpr std::int32_t kEvPinEnc = 4;
inline constexpr std::int32_t kEvDongleCard = 5;
inline constexpr std::int32_t kEvDongleMember = 6;
inline constexpr std::int32_t kEvDongleDebit = 7;
inline constexpr std::int32_t kEvDongleTicket = 8;
inline constexpr std::int32_t kEvDongleGift = 9;
inline constexpr std::int32_t kEvDongleSports = 10;
inline constexpr std::int32_t kEvDongleCash = 11;
inline constexpr std::int32_t kEvDongleCardMember = 12;
inline constexpr std::int32_t kEvDongleLogOn = 13;
inline constexpr std::int32_t kEvDongleCardInfo = 14;
inline constexpr std::int32_t kEvCSDError = 15;
inline constexpr std::int32_t kEvSignSendInput = 16;
inline constexpr std::int32_t kEvSignSendCancel = 17;

inline constexpr std::array<Param, 1> kErrorCode{{{"lErrorCode", Type::I4, Dir::In}}};

inline constexpr automation::Member kEvents[] = {
    {"OnPadInitEvent", kEvPadInit, kMethod, kNone, Type::Empty},
    {"OnSignSendEvent", kEvSignSend, kMethod, kNone, Type::Empty},
    {"OnPinEvent", kEvPin, kMethod, kNone, Type::Empty},
    {"OnPinEncEvent", kEvPinEnc, kMethod, kNone, Type::Empty},
    {"OnDongleCardEvent", kEvDongleCard, kMethod, kNone, Type::Empty},
    {"OnDongleMemberEvent", kEvDongleMember, kMethod, kNone, Type::Empty},
    {"OnDongleDebitEvent", kEvDongleDebit, kMethod, kNone, Type::Empty},
    {"OnDongleTicketEvent", kEvDongleTicket, kMethod, kNone, Type::Empty},
    {"OnDongleGiftEvent", kEvDongleGift, kMethod, kNone, Type::Empty},
    {"OnDongleSportsEvent", kEvDongleSports, kMethod, kNone, Type::Empty},
    {"OnDongleCashEvent", kEvDongleCash, kMethod, kNone, Type::Empty},
    {"OnDongleCardMemberEvent", kEvDongleCardMember, kMethod, kNone, Type::Empty},
    {"OnDongleLogOnEvent", kEvDongleLogOn, kMethod, kNone, Type::Empty},
    {"OnDongleCardInfoEvent", kEvDongleCardInfo, kMethod, kNone, Type::Empty},
    {"OnCSDError", kEvCSDError, kMethod, kErrorCode, Type::Empty},
    {"OnSignSendInput", kEvSignSendInput, kMethod, kNone, Type::Empty},
    {"OnSignSendCancel", kEvSignSendCancel, kMethod, kNone, Type::Empty},
};

// --- identity ----------------------------------------------------------------

inline constexpr automation::ClassInfo kClass{
    "Tallypad",
    "Tallypad Control",
    "{5E46A64F-3479-4A7A-AC1E-079D023EFD0F}",
    "TALLYPAD.TallypadCtrl.1",
    "TALLYPAD.TallypadCtrl",
    {"TALLYPADLib", "{3A0EF181-D6BB-4A3D-90ED-2662F8A5F668}", 1, 0, "Tallypad ActiveX Control module"},
    {"_DTallypad", "{D8102DB0-020D-4E1F-BB7E-4DEB224988F9}", false, kMembers},
    {"_DTallypadEvents", "{2B206082-E6C6-4E29-84FD-F96209EE8BDE}", false, kEvents},
};

// What the Windows control registers beside the class.
inline constexpr const char* kControlClassName = "CTallypadCtrl";
inline constexpr const char* kPropPageProgId = "TALLYPAD.TallypadPropPage.1";
inline constexpr const char* kPropPageClsid = "{9BC98963-FA29-4929-BC86-1E0A68078366}";

static_assert(automation::class_fault(kClass) == nullptr, "the member tables are not well formed");
static_assert(std::size(kMembers) == 32 && std::size(kEvents) == 17);

// Rows in DISPID order, so that a row is found by its DISPID directly.
constexpr bool rows_in_dispid_order(std::span<const automation::Member> rows) {
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (rows[i].dispid != static_cast<std::int32_t>(i + 1)) return false;
  }
  return true;
}
static_assert(rows_in_dispid_order(kMembers) && rows_in_dispid_order(kEvents));

}  // namespace pink::signpad::tally
