#pragma once
// Hand-over endpoints: a second launch of a shared session finds the instance
// that holds it by the session key and hands it the launch. Keys compare
// without regard to letter case.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kiv {

class IHandOverEndpoint {
public:
    virtual ~IHandOverEndpoint() = default;
    // Looks for a running instance listening on the key.
    virtual void FindPeer(const std::string& key) = 0;
    virtual bool PeerFound() const = 0;
    // Sends one record to the found peer and waits until it has taken it.
    virtual void Send(const std::vector<uint8_t>& record) = 0;
    // Listens on the key; every record that arrives is handed to onRecord on the GUI thread.
    virtual void Listen(const std::string& key, std::function<void(const std::vector<uint8_t>&)> onRecord) = 0;
};

class IHandOverFactory {
public:
    virtual ~IHandOverFactory() = default;
    virtual std::unique_ptr<IHandOverEndpoint> CreateEndpoint() = 0;
};

// The marker that a client runs ("KIV_CLIENT_MAP").
class IClientMarker {
public:
    virtual ~IClientMarker() = default;
    // false when the block can neither be opened nor created.
    virtual bool Open() = 0;
    virtual bool IsFirstInstance() const = 0;
    virtual void Close() = 0;
};

}  // namespace kiv
