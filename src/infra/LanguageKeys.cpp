#include "infra/LanguageKeys.h"

namespace kiv {

const std::vector<TLanguageKey>& LanguageKeys() {
    static const std::vector<TLanguageKey> keys = {
        // Captions of the boxes and questions.
        {"TEXT", "ErrorCap"},
        {"TEXT", "sInfoCaption"},

        // Start-up: command line, connection file, file type.
        {"TEXT", "FileNotExist", "%s"},  // the missing "/open" document
        {"TEXT", "ErrReadKIV"},
        {"TEXT", "KeyDes"},

        // Session window caption and progress dialog.
        {"TEXT", "VYNRemoteConn"},
        {"TEXT", "CancelCap"},
        {"TEXT", "StepCaption"},

        // Progress texts, in the order of a normal start.
        {"TEXT", "KIVReading"},
        {"TEXT", "KIVConnecting"},
        {"TEXT", "KIVConnected"},
        {"TEXT", "KIVReadyAuth"},
        {"TEXT", "KIVLogonOK"},
        {"TEXT", "KIVInitShell"},
        {"TEXT", "KIVLoadShell"},
        {"TEXT", "KIVStartingShellOK"},
        {"TEXT", "KivReconnect", "%d"},  // the server's session number

        // Questions of the session window and the toolbar.
        {"TEXT", "VYNLogOffInfo"},
        {"TEXT", "VYNDisconnect"},
        {"TEXT", "ClientExitInfo"},

        // Tooltips of the full-desktop toolbar's buttons.
        {"TEXT", "ToolbarPin"},
        {"TEXT", "ToolbarDevices"},
        {"TEXT", "ToolbarMinimize"},
        {"TEXT", "ToolbarMaximize"},
        {"TEXT", "ToolbarClose"},

        // A connection that cannot be set up, and the repair offer.
        {"TEXT", "KIVConfigParamErr"},
        {"TEXT", "L_TryToFix_Message"},

        // Authentication results of the server shell.
        {"TEXT", "KIVBadProtocol"},
        {"TEXT", "KIVFileTTLTimeOut"},
        {"TEXT", "_ServerNotActive"},
        {"TEXT", "NoThisUser"},
        {"TEXT", "ErrConDb"},
        {"TEXT", "_WaitToInError"},
        {"TEXT", "AccountExisted"},
        {"TEXT", "AccountDisabled"},
        {"TEXT", "_OutSystemResource"},

        // A logon stage that did not finish.
        {"TEXT", "KIVAuthLogonErr"},
        {"TEXT", "KivShellError"},
        {"TEXT", "AppStartError"},
        {"TEXT", "ReconnectError", "%d"},  // the server's session number
        {"TEXT", "NotifyServiceError"},

        // Session errors and other event errors.
        {"TEXT", "KIVSecurityOut"},
        {"TEXT", "NoAppExist"},
        {"TEXT", "KIV_UnKnowError", "%d"},  // the error code
        {"TEXT", "MSG_WINLOGON_MULTEACCOUNT"},
        {"TEXT", "ReconnectError2"},
        {"TEXT", "AppRunError", "%d%s"},  // the system error code and its meaning
        {"TEXT", "AppRunErrorCode", "%d"},  // a system error code without a text of its own
        // The meanings of the system error codes a server reports for an application.
        {"TEXT", "SysErr_FileNotFound"},
        {"TEXT", "SysErr_PathNotFound"},
        {"TEXT", "SysErr_AccessDenied"},
        {"TEXT", "SysErr_NotEnoughMemory"},
        {"TEXT", "SysErr_SharingViolation"},
        {"TEXT", "SysErr_InvalidParameter"},
        {"TEXT", "SysErr_BadExeFormat"},
        {"TEXT", "SysErr_NameTooLong"},
        {"TEXT", "SysErr_ElevationRequired"},
        {"TEXT", "SysErr_NoAssociation"},
        {"TEXT", "SysErr_BlockedByPolicy"},
        {"TEXT", "SysErr_NoSystemResources"},

        // Disconnect texts by the control's extended reason.
        {"TEXT", "L_DisconnectRemoteByServerTool_ErrorMessage"},
        {"TEXT", "L_LogoffRemoteByServer_ErrorMessage"},
        {"TEXT", "L_DisconnectIdleTimeout_ErrorMessage"},
        {"TEXT", "L_DisconnectLogonTimeout_ErrorMessage"},
        {"TEXT", "L_DisconnectByOtherConnection_ErrorMessage"},
        {"TEXT", "L_ServerOutOfMemory_ErrorMessage"},
        {"TEXT", "L_ServerDeniedConnection_ErrorMessage"},
        {"TEXT", "L_LicenseInternal_ErrorMessage"},
        {"TEXT", "L_NoLicenseServer_ErrorMessage"},
        {"TEXT", "L_NoLicense_ErrorMessage"},
        {"TEXT", "L_LicenseBadClientMsg_ErrorMessage"},
        {"TEXT", "L_LicenseHwidDoesntMatch_ErrorMessage"},
        {"TEXT", "L_BadClientLicense_ErrorMessage"},
        {"TEXT", "L_LicenseCantFinishProtocol_ErrorMessage"},
        {"TEXT", "L_LicenseClientEndedProtocol_ErrorMessage"},
        {"TEXT", "L_LicenseBadClientEncryption_ErrorMessage"},
        {"TEXT", "L_CantUpgradeLicense_ErrorMessage"},
        {"TEXT", "L_LicenseNoRemoteConnections_ErrorMessage"},
        {"TEXT", "L_ProtocolErrWITHCODE_ErrorMessage"},  // shown as it stands, never formatted
        {"TEXT", "L_ErrMsg_Text"},

        // Disconnect texts by the control's disconnect reason.
        {"TEXT", "L_BadServerName_ErrorMessage"},
        {"TEXT", "L_LowMemory_ErrorMessage"},
        {"TEXT", "L_ConnectionTimeout_ErrorMessage"},
        {"TEXT", "L_NotResponding_ErrorMessage"},
        {"TEXT", "L_NetworkErr_ErrorMessage"},  // also the end of a timed reconnection
        {"TEXT", "L_LogonFailed_ErrorMessage"},  // the server refused the credentials
        {"TEXT", "L_SecurityErr_ErrorMessage"},
        {"TEXT", "L_IllegalServerName_ErrorMessage"},
        {"TEXT", "L_EncryptionError_ErrorMessage"},
        {"TEXT", "L_CannotLoopBackConnect_ErrorMessage"},
        {"TEXT", "L_LicensingNegotFailed_ErrorMessage"},
        {"TEXT", "L_DecompressionFailed_ErrorMessage"},
        {"TEXT", "L_ProtocolErr_ErrorMessage"},
        {"TEXT", "L_InternalErr_ErrorMessage"},

        // The message box.
        {"TEXT", "KivMsg_Ok"},
        {"TEXT", "KivMsg_OnlineHelp"},
        {"TEXT", "KivMsg_ShowDetail"},
        {"TEXT", "KivMsg_OnlineURL"},

        // The question about the server's certificate (trust on first use).
        {"TEXT", "CertChangedCaption"},
        {"TEXT", "CertChangedInfo", "%s%s%s"},  // host, remembered fingerprint, new fingerprint
        {"TEXT", "CertUnknownCaption"},
        {"TEXT", "CertUnknownInfo", "%s%s%s"},  // host, issuer, fingerprint

        // Dialog font, the character set announced to the server, the banner.
        {"font", "Name"},
        {"font", "size"},
        {"FONT", "charset"},
        {"IMAGE", "Img1"},
    };
    return keys;
}

std::string DirectivesOf(std::string_view text) {
    std::string directives;
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != '%') continue;
        const char next = text[i + 1];
        if (next == 's' || next == 'd' || next == 'u' || next == 'x') {
            directives += '%';
            directives += next;
        }
        ++i;  // "%%" and unknown directives are passed over as a pair
    }
    return directives;
}

}  // namespace kiv
