#pragma once
// The way to the floating status window: the block through TShareMem, messages
// as datagrams on the status window's Unix socket (sent without waiting: a
// status window that does not keep up loses a record, the client never
// stalls), and the program "kiv-status" beside the client.
#include <filesystem>

#include "platform/linux/StatusBlockNames.h"
#include "ports/ProcessStarter.h"
#include "ports/StatusWindow.h"

namespace kiv {

class TStatusWindowLink final : public IStatusWindowLink {
public:
    TStatusWindowLink(IProcessStarter& processes, std::filesystem::path program,
                      TStatusBlockNames names = DefaultStatusBlockNames());
    ~TStatusWindowLink() override;

    std::unique_ptr<IStatusBlock> OpenStatusBlock() override;
    bool Answers(uint32_t statusWindow) const override;
    void Send(uint32_t statusWindow, const std::vector<uint8_t>& datagram) override;
    bool StartStatusWindow() override;

private:
    IProcessStarter& processes_;
    std::filesystem::path program_;
    TStatusBlockNames names_;
    int fd_ = -1;
};

}  // namespace kiv
