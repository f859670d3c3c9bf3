#include <gtest/gtest.h>

#include "infra/LanguageKeys.h"
#include "session/ErrorTables.h"

namespace kiv {
namespace {

TEST(ErrorTables, AuthenticationStageAndSessionErrors) {
    EXPECT_EQ(AuthResultKey(309), "NoThisUser");
    EXPECT_EQ(AuthResultKey(315), "_OutSystemResource");
    EXPECT_FALSE(AuthResultKey(2).has_value());  // closes without a message
    EXPECT_FALSE(AuthResultKey(311).has_value());
    EXPECT_EQ(StageErrorKey(0x8000), "ReconnectError");
    EXPECT_EQ(StageErrorKey(0x8003), "NotifyServiceError");
    EXPECT_FALSE(StageErrorKey(0x2000).has_value());
    EXPECT_EQ(SessionErrorKey(2), "KIVSecurityOut");
    EXPECT_EQ(SessionErrorKey(307), "NoAppExist");
    EXPECT_EQ(SessionErrorKey(99), "KIV_UnKnowError");
}

TEST(ErrorTables, DisconnectTextsByExtendedReasonFirst) {
    EXPECT_EQ(DisconnectTextKey(3, 5), "L_DisconnectByOtherConnection_ErrorMessage");
    EXPECT_EQ(DisconnectTextKey(2308, 266), "L_LicenseNoRemoteConnections_ErrorMessage");
    EXPECT_EQ(DisconnectTextKey(3, 4097), "L_ProtocolErrWITHCODE_ErrorMessage");
    EXPECT_EQ(DisconnectTextKey(3, 4096), "L_ErrMsg_Text");
    EXPECT_EQ(DisconnectTextKey(3, 8), "L_ErrMsg_Text");
}

TEST(ErrorTables, DisconnectTextsByReason) {
    EXPECT_EQ(DisconnectTextKey(2308, 0), "L_NetworkErr_ErrorMessage");  // given up reconnecting
    EXPECT_EQ(DisconnectTextKey(2055, 0), "L_LogonFailed_ErrorMessage");
    EXPECT_EQ(DisconnectTextKey(0, 0), "L_ErrMsg_Text");
    EXPECT_EQ(DisconnectTextKey(264, 0), "L_ConnectionTimeout_ErrorMessage");
    EXPECT_EQ(DisconnectTextKey(516, 0), "L_NotResponding_ErrorMessage");
    EXPECT_EQ(DisconnectTextKey(1796, 0), "L_NotResponding_ErrorMessage");
    EXPECT_EQ(DisconnectTextKey(2310, 0), "L_SecurityErr_ErrorMessage");
    EXPECT_EQ(DisconnectTextKey(2052, 0), "L_BadServerName_ErrorMessage");
    EXPECT_EQ(DisconnectTextKey(10500, 0), "L_ProtocolErr_ErrorMessage");
    EXPECT_EQ(DisconnectTextKey(777, 0), "L_InternalErr_ErrorMessage");
}

TEST(ErrorTables, QuietEnds) {
    EXPECT_TRUE(IsQuietDisconnect(1, 0));
    EXPECT_TRUE(IsQuietDisconnect(2, 0));
    EXPECT_TRUE(IsQuietDisconnect(0x201, 0));
    EXPECT_TRUE(IsQuietDisconnect(0xB08, 0));
    EXPECT_FALSE(IsQuietDisconnect(0xB08, 5));  // taken over by another connection: said so
    EXPECT_FALSE(IsQuietDisconnect(3, 0));
    EXPECT_FALSE(IsQuietDisconnect(2308, 0));
    EXPECT_TRUE(IsLocalDisconnect(0x101));
    EXPECT_FALSE(IsLocalDisconnect(2));
    // Before the session was up the server's logoff is told.
    EXPECT_EQ(EarlyDisconnectTextKey(2, 0xC), "L_LogoffRemoteByServer_ErrorMessage");
    EXPECT_EQ(EarlyDisconnectTextKey(2, 5), "L_DisconnectByOtherConnection_ErrorMessage");
    EXPECT_EQ(EarlyDisconnectTextKey(2308, 0), "L_NetworkErr_ErrorMessage");
}

TEST(ErrorTables, SystemErrorCodesHaveTheirMeaningOrNone) {
    EXPECT_EQ(SystemErrorKey(5), "SysErr_AccessDenied");
    EXPECT_EQ(SystemErrorKey(2), "SysErr_FileNotFound");
    EXPECT_EQ(SystemErrorKey(1155), "SysErr_NoAssociation");
    EXPECT_FALSE(SystemErrorKey(0).has_value());
    EXPECT_FALSE(SystemErrorKey(12345).has_value());
}

TEST(ErrorTables, EveryKeyIsOneTheLanguageFilesHold) {
    auto known = [](std::string_view key) {
        for (const auto& k : LanguageKeys())
            if (k.key == key) return true;
        return false;
    };
    for (int32_t r : {3, 4, 308, 309, 310, 312, 313, 314, 315}) EXPECT_TRUE(known(*AuthResultKey(r))) << r;
    for (int32_t r : {0x1000, 0x4000, 0x4001, 0x8000, 0x8003}) EXPECT_TRUE(known(*StageErrorKey(r))) << r;
    for (int32_t e = 1; e < 5000; ++e) EXPECT_TRUE(known(DisconnectTextKey(0, e))) << e;
    for (int32_t r = 0; r < 11000; ++r) {
        EXPECT_TRUE(known(DisconnectTextKey(r, 0))) << r;
        EXPECT_TRUE(known(EarlyDisconnectTextKey(r, 0))) << r;
        if (const auto key = SystemErrorKey(r)) EXPECT_TRUE(known(*key)) << r;
    }
}

}  // namespace
}  // namespace kiv
