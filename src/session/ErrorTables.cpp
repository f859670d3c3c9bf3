#include "session/ErrorTables.h"

#include <initializer_list>

namespace kiv {

namespace {

bool OneOf(int32_t value, std::initializer_list<int32_t> values) {
    for (int32_t v : values)
        if (v == value) return true;
    return false;
}

std::string_view ByExtendedReason(int32_t extended) {
    switch (extended) {
        case 1: return "L_DisconnectRemoteByServerTool_ErrorMessage";
        case 2: return "L_LogoffRemoteByServer_ErrorMessage";
        case 3: return "L_DisconnectIdleTimeout_ErrorMessage";
        case 4: return "L_DisconnectLogonTimeout_ErrorMessage";
        case 5: return "L_DisconnectByOtherConnection_ErrorMessage";
        case 6: return "L_ServerOutOfMemory_ErrorMessage";
        case 7: return "L_ServerDeniedConnection_ErrorMessage";
        case 256: return "L_LicenseInternal_ErrorMessage";
        case 257: return "L_NoLicenseServer_ErrorMessage";
        case 258: return "L_NoLicense_ErrorMessage";
        case 259: return "L_LicenseBadClientMsg_ErrorMessage";
        case 260: return "L_LicenseHwidDoesntMatch_ErrorMessage";
        case 261: return "L_BadClientLicense_ErrorMessage";
        case 262: return "L_LicenseCantFinishProtocol_ErrorMessage";
        case 263: return "L_LicenseClientEndedProtocol_ErrorMessage";
        case 264: return "L_LicenseBadClientEncryption_ErrorMessage";
        case 265: return "L_CantUpgradeLicense_ErrorMessage";
        case 266: return "L_LicenseNoRemoteConnections_ErrorMessage";
        default: break;
    }
    return extended > 4096 ? "L_ProtocolErrWITHCODE_ErrorMessage" : "L_ErrMsg_Text";
}

std::string_view ByReason(int32_t reason) {
    if (reason == 0) return "L_ErrMsg_Text";
    if (reason == 3) return "L_DisconnectRemoteByServerTool_ErrorMessage";
    if (OneOf(reason, {260, 520, 776, 1288, 1540, 2052})) return "L_BadServerName_ErrorMessage";
    if (OneOf(reason, {262, 518, 774, 1544})) return "L_LowMemory_ErrorMessage";
    if (reason == 264) return "L_ConnectionTimeout_ErrorMessage";
    if (OneOf(reason, {516, 1796})) return "L_NotResponding_ErrorMessage";
    if (OneOf(reason, {772, 1028})) return "L_NetworkErr_ErrorMessage";
    if (OneOf(reason, {1030, 1542, 1798, 2310, 2566})) return "L_SecurityErr_ErrorMessage";
    if (reason == 1032) return "L_IllegalServerName_ErrorMessage";
    if (OneOf(reason, {1286, 2822, 3078, 3590})) return "L_EncryptionError_ErrorMessage";
    if (reason == 1800) return "L_CannotLoopBackConnect_ErrorMessage";
    if (reason == 2056) return "L_LicensingNegotFailed_ErrorMessage";
    if (reason == 2308) return "L_NetworkErr_ErrorMessage";
    if (reason == 2055) return "L_LogonFailed_ErrorMessage";
    if (reason == 3080) return "L_DecompressionFailed_ErrorMessage";
    if (OneOf(reason, {3334, 10500})) return "L_ProtocolErr_ErrorMessage";
    return "L_InternalErr_ErrorMessage";
}

}  // namespace

std::optional<std::string_view> AuthResultKey(int32_t reason) {
    switch (reason) {
        case 3: return "KIVBadProtocol";
        case 4: return "KIVFileTTLTimeOut";
        case 308: return "_ServerNotActive";
        case 309: return "NoThisUser";
        case 310: return "ErrConDb";
        case 312: return "_WaitToInError";
        case 313: return "AccountExisted";
        case 314: return "AccountDisabled";
        case 315: return "_OutSystemResource";
        default: return std::nullopt;
    }
}

std::optional<std::string_view> StageErrorKey(int32_t reason) {
    switch (reason) {
        case 0x1000: return "KIVAuthLogonErr";
        case 0x4000: return "KivShellError";
        case 0x4001: return "AppStartError";
        case 0x8000: return "ReconnectError";
        case 0x8003: return "NotifyServiceError";
        default: return std::nullopt;
    }
}

std::string_view SessionErrorKey(int32_t reason) {
    if (reason == 2) return "KIVSecurityOut";
    if (reason == 307) return "NoAppExist";
    return "KIV_UnKnowError";
}

std::string_view DisconnectTextKey(int32_t reason, int32_t extendedReason) {
    if (extendedReason != 0) return ByExtendedReason(extendedReason);
    return ByReason(reason);
}

bool IsQuietDisconnect(int32_t reason, int32_t extendedReason) {
    return (IsLocalDisconnect(reason) || (reason & 0xFF) == 2) && extendedReason != 5;
}

bool IsLocalDisconnect(int32_t reason) { return (reason & 0xFF) == 1 || reason == 0xB08; }

std::string_view EarlyDisconnectTextKey(int32_t reason, int32_t extendedReason) {
    if ((reason & 0xFF) == 2 && extendedReason != 5) return "L_LogoffRemoteByServer_ErrorMessage";
    return DisconnectTextKey(reason, extendedReason);
}

std::optional<std::string_view> SystemErrorKey(int32_t code) {
    switch (code) {
        case 2: return "SysErr_FileNotFound";
        case 3: return "SysErr_PathNotFound";
        case 5: return "SysErr_AccessDenied";
        case 8: return "SysErr_NotEnoughMemory";
        case 32: return "SysErr_SharingViolation";
        case 87: return "SysErr_InvalidParameter";
        case 193: return "SysErr_BadExeFormat";
        case 206: return "SysErr_NameTooLong";
        case 740: return "SysErr_ElevationRequired";
        case 1155: return "SysErr_NoAssociation";
        case 1260: return "SysErr_BlockedByPolicy";
        case 1450: return "SysErr_NoSystemResources";
        default: return std::nullopt;
    }
}

}  // namespace kiv
