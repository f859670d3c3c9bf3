#include "app/AgentStart.h"

#include <fcntl.h>
#include <semaphore.h>
#include <unistd.h>

#include "infra/IniImage.h"
#include "launch/FarmList.h"
#include "platform/linux/ProcessStarterPosix.h"

namespace kiv {

void StartAgentWhenWanted(const std::filesystem::path& programFolder) {
    const auto farms = TIniImage::FromFile(GetUserDataFolder() + "Farms.ini");
    if (!farms || farms->ReadInteger("AutoFarm", "AutoStartBySession", 0) != 1) return;
    // The agent marks itself with a named semaphore of the user.
    const std::string marker = "/frmClientMain." + std::to_string(getuid());
    if (sem_t* running = sem_open(marker.c_str(), 0); running != SEM_FAILED) {
        sem_close(running);
        return;
    }
    const std::filesystem::path agent = programFolder / "KivAgent";
    if (access(agent.c_str(), X_OK) == 0) TProcessStarterPosix().Start(agent.string(), {"KivClient"});
}

}  // namespace kiv
