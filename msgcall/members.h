// The automation description of the message sending object: its class
// MSGCALLMSG, its dual interface IMSGCALLMSG (four methods, DISPIDs 1 to 4)
// and its event interface, which declares no events. The Linux API and the
// Windows COM server both take the object's members from here.
//
// Every method's last argument is an out-argument that is also its
// automation return value (nRetVal, or nSocketID for MMSConnect); failures
// are results there, never automation errors.
#pragma once

#include <array>

#include "automation/table.h"

namespace pink::msgcall {

using automation::Dir;
using automation::Param;
using automation::Type;

inline constexpr std::int32_t kDispMMSSend = 1;
inline constexpr std::int32_t kDispMMSConnect = 2;
inline constexpr std::int32_t kDispMMSClose = 3;
inline constexpr std::int32_t kDispMMSSendDongbo = 4;

// The twelve texts of a message, in the order both send methods take them.
inline constexpr std::array<Param, 12> kTexts{{
    {"SeqNo", Type::Str, Dir::In},     {"Type", Type::Str, Dir::In},
    {"UserCode", Type::Str, Dir::In},  {"DeptCode", Type::Str, Dir::In},
    {"CallPhone", Type::Str, Dir::In}, {"ReqPhone", Type::Str, Dir::In},
    {"Subject", Type::Str, Dir::In},   {"CallMessage", Type::Str, Dir::In},
    {"RDateTime", Type::Str, Dir::In}, {"FilePath1", Type::Str, Dir::In},
    {"FilePath2", Type::Str, Dir::In}, {"FilePath3", Type::Str, Dir::In},
}};
inline constexpr std::array<Param, 1> kRetVal{{{"nRetVal", Type::I4, Dir::Retval}}};

inline constexpr auto kMMSSendParams = automation::join(kTexts, kRetVal);
inline constexpr std::array<Param, 1> kMMSConnectParams{{{"nSocketID", Type::I4, Dir::Retval}}};
inline constexpr std::array<Param, 2> kMMSCloseParams{{{"nSocketID", Type::I4, Dir::In}, kRetVal[0]}};
inline constexpr auto kMMSSendDongboParams = automation::join(
    std::array<Param, 3>{{{"nSocketID", Type::I4, Dir::In},
                          {"nFirst", Type::I4, Dir::In},
                          {"nLast", Type::I4, Dir::In}}},
    kTexts, kRetVal);

// Where the twelve texts start in each send method's arguments.
inline constexpr std::size_t kMMSSendTexts = 0;
inline constexpr std::size_t kMMSSendDongboTexts = 3;
inline constexpr std::size_t kTextCount = 12;

inline constexpr automation::Member kMembers[] = {
    {"MMSSend", kDispMMSSend, automation::kMethod, kMMSSendParams, Type::I4},
    {"MMSConnect", kDispMMSConnect, automation::kMethod, kMMSConnectParams, Type::I4},
    {"MMSClose", kDispMMSClose, automation::kMethod, kMMSCloseParams, Type::I4},
    {"MMSSendDongbo", kDispMMSSendDongbo, automation::kMethod, kMMSSendDongboParams, Type::I4},
};

inline constexpr automation::ClassInfo kClass{
    "MSGCALLMSG",
    "MSGCALLMSG Class",
    "{33B28151-FC79-47A6-90C4-CD560FDDF2A8}",
    "msgcall.MSGCALLMSG.1",
    "msgcall.MSGCALLMSG",
    {"MSGCALLLib", "{4950FFD2-6D86-4291-B9D0-ACD31817DE33}", 1, 0, "msgcall 1.0 Type Library"},
    {"IMSGCALLMSG", "{F18DA25B-6D14-49A9-A1DE-EA44814805BA}", true, kMembers},
    {"_IMSGCALLMSGEvents", "{55622D4B-B5FF-47FD-9855-D0768AC8B207}", false, {}},
};

static_assert(automation::class_fault(kClass) == nullptr, "the member table is not well formed");
static_assert(kMMSSendParams[kMMSSendTexts].name == kTexts[0].name);
static_assert(kMMSSendDongboParams[kMMSSendDongboTexts].name == kTexts[0].name);

}  // namespace pink::msgcall
