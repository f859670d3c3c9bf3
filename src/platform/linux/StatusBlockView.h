#pragma once
// The status-window block as the floating status window sees it: it publishes
// its own id there and watches the clients' count, without being counted
// itself (only clients hold the block through TShareMem).
#include <cstdint>

#include "platform/linux/StatusBlockNames.h"

namespace kiv {

class TStatusBlockView {
public:
    explicit TStatusBlockView(TStatusBlockNames names = DefaultStatusBlockNames());
    ~TStatusBlockView();
    TStatusBlockView(const TStatusBlockView&) = delete;
    TStatusBlockView& operator=(const TStatusBlockView&) = delete;

    // False when no client made the block (yet).
    bool Open();
    uint32_t StatusWindow() const;
    int32_t UserCount() const;
    // Whether a live client holds the block (clients that died hold nothing,
    // whatever count they left).
    bool HeldByAClient() const;
    void Publish(uint32_t statusWindow);
    // Clears the id, unless another status window published its own meanwhile.
    void Withdraw(uint32_t statusWindow);

private:
    TStatusBlockNames names_;
    int fd_ = -1;
    uint32_t* view_ = nullptr;
};

}  // namespace kiv
