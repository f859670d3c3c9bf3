#include "proxy/Proxy.h"

#include <atomic>
#include <future>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include <asio.hpp>

#include "infra/DebugLog.h"
#include "proxy/ProxyFreePort.h"
#include "proxy/ProxyRoute.h"
#include "proxy/ProxyTunnel.h"
#include "proxy/SystemProxy.h"

namespace kiv {

struct TProxy::TImpl {
    asio::io_context io{1};
    asio::executor_work_guard<asio::io_context::executor_type> work = asio::make_work_guard(io);

    // Touched on the I/O thread only.
    std::optional<asio::ip::tcp::acceptor> acceptor;
    asio::steady_timer acceptPause{io};
    std::uint64_t listenGeneration = 0;
    std::vector<std::weak_ptr<TProxyTunnel>> tunnels;
    std::uint64_t nextTunnel = 1;

    // Set from the caller's thread, read when a local connection arrives.
    mutable std::mutex mutex;
    TProxySet settings;
    std::string targetHost;
    int32_t targetPort = 0;
    std::chrono::milliseconds handshakeTimeout = kDefaultHandshakeTimeout;
    std::shared_ptr<const TProxyStepObserver> observer;

    std::atomic<int32_t> localPort{0};
    std::thread thread;

    void Run();
    template <typename F>
    void OnIoThread(F&& work);
    bool Listen(int32_t port, std::string& error);
    void Accept(std::uint64_t generation);
    void OnAccepted(std::uint64_t generation, const asio::error_code& error, asio::ip::tcp::socket socket);
    void StopListening();
    void CloseAll();
};

void TProxy::TImpl::Run() {
    for (;;) {
        try {
            io.run();
            return;
        } catch (const std::exception& e) {
            if (DebugSwitches[dmMain]) WriteLog(std::string("[TProxy.Run]Exception:") + e.what());
        } catch (...) {
            if (DebugSwitches[dmMain]) WriteLog("[TProxy.Run]Exception:unknown");
        }
    }
}

// Everything that touches the listener or the tunnels runs on the I/O thread;
// the caller waits for it so that SetActive has taken effect when it returns.
template <typename F>
void TProxy::TImpl::OnIoThread(F&& work) {
    if (std::this_thread::get_id() == thread.get_id()) {
        work();
        return;
    }
    std::promise<void> done;
    asio::post(io, [&] {
        try {
            work();
        } catch (const std::exception& e) {
            if (DebugSwitches[dmMain]) WriteLog(std::string("[TProxy]Exception:") + e.what());
        }
        done.set_value();
    });
    done.get_future().wait();
}

bool TProxy::TImpl::Listen(int32_t port, std::string& error) {
    asio::error_code ec;
    acceptor.emplace(io);
    const asio::ip::tcp::endpoint endpoint(asio::ip::address_v4::loopback(), static_cast<uint16_t>(port));
    acceptor->open(endpoint.protocol(), ec);
    if (!ec) acceptor->set_option(asio::socket_base::reuse_address(true), ec);
    if (!ec) acceptor->bind(endpoint, ec);
    if (!ec) acceptor->listen(asio::socket_base::max_listen_connections, ec);
    if (ec) {
        error = ec.message();
        acceptor.reset();
        return false;
    }
    Accept(++listenGeneration);
    return true;
}

void TProxy::TImpl::Accept(std::uint64_t generation) {
    acceptor->async_accept([this, generation](const asio::error_code& error, asio::ip::tcp::socket socket) {
        OnAccepted(generation, error, std::move(socket));
    });
}

void TProxy::TImpl::OnAccepted(std::uint64_t generation, const asio::error_code& error, asio::ip::tcp::socket socket) {
    if (error == asio::error::operation_aborted || generation != listenGeneration || !acceptor) return;
    if (error) {
        if (error == asio::error::connection_aborted) {
            Accept(generation);
            return;
        }
        // Out of descriptors, most likely: wait a little for tunnels to end
        // rather than spinning on a listener that cannot accept.
        if (DebugSwitches[dmMain]) WriteLog("[TProxy.OnLocalConnect]accept failed: " + error.message());
        acceptPause.expires_after(std::chrono::milliseconds(100));
        acceptPause.async_wait([this, generation](const asio::error_code& waitError) {
            if (!waitError && generation == listenGeneration && acceptor) Accept(generation);
        });
        return;
    }

    std::erase_if(tunnels, [](const std::weak_ptr<TProxyTunnel>& tunnel) { return tunnel.expired(); });
    TProxyRoute route;
    std::chrono::milliseconds timeout;
    std::shared_ptr<const TProxyStepObserver> stepObserver;
    {
        std::lock_guard lock(mutex);
        route = RouteFor(settings, targetHost, targetPort);
        timeout = handshakeTimeout;
        stepObserver = observer;
    }
    auto tunnel = std::make_shared<TProxyTunnel>(std::move(socket), std::move(route), timeout, std::move(stepObserver),
                                                 nextTunnel++);
    tunnels.push_back(tunnel);
    tunnel->Start();
    Accept(generation);
}

void TProxy::TImpl::StopListening() {
    ++listenGeneration;
    acceptPause.cancel();
    if (acceptor) {
        asio::error_code ignored;
        acceptor->close(ignored);
        acceptor.reset();
    }
}

void TProxy::TImpl::CloseAll() {
    StopListening();
    for (const std::weak_ptr<TProxyTunnel>& weak : tunnels)
        if (const std::shared_ptr<TProxyTunnel> tunnel = weak.lock()) tunnel->Close();
    tunnels.clear();
}

TProxy::TProxy() : impl_(std::make_unique<TImpl>()) {
    impl_->thread = std::thread([impl = impl_.get()] { impl->Run(); });
}

TProxy::~TProxy() {
    impl_->OnIoThread([impl = impl_.get()] { impl->CloseAll(); });
    // With every socket closed only aborted handlers are left: run ends by itself.
    impl_->work.reset();
    impl_->thread.join();
}

void TProxy::SetProxy(const TProxySet& proxy) {
    std::lock_guard lock(impl_->mutex);
    impl_->settings = proxy;
}

void TProxy::SetTargetHost(const std::string& host) {
    std::lock_guard lock(impl_->mutex);
    impl_->targetHost = host;
}

void TProxy::SetTargetPort(int32_t port) {
    std::lock_guard lock(impl_->mutex);
    impl_->targetPort = port;
}

int32_t TProxy::GetLocalPort() const { return impl_->localPort.load(); }

void TProxy::SetHandshakeTimeout(std::chrono::milliseconds timeout) {
    std::lock_guard lock(impl_->mutex);
    impl_->handshakeTimeout = timeout;
}

void TProxy::SetStepObserver(TProxyStepObserver observer) {
    std::lock_guard lock(impl_->mutex);
    impl_->observer = std::make_shared<const TProxyStepObserver>(std::move(observer));
}

TProxySet TProxy::ProxySettings() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->settings;
}

std::size_t TProxy::OpenTunnelCount() const {
    std::size_t count = 0;
    impl_->OnIoThread([&] {
        for (const std::weak_ptr<TProxyTunnel>& tunnel : impl_->tunnels)
            if (!tunnel.expired()) ++count;
    });
    return count;
}

void TProxy::SetActive(bool active) {
    TImpl& impl = *impl_;
    if (!active) {
        impl.OnIoThread([&] { impl.CloseAll(); });
        return;
    }

    TProxySet settings;
    {
        std::lock_guard lock(impl.mutex);
        ResolveSystemProxy(impl.settings);
        settings = impl.settings;
    }
    impl.OnIoThread([&] { impl.StopListening(); });

    int32_t from = kFirstMapperPort;
    for (;;) {
        const TFreePort free = FindFreePort(from);
        if (free.port == 0) {
            impl.localPort = 0;
            if (DebugSwitches[dmMain]) WriteLog("[TProxy.SetActive]the mapper cannot start: " + free.error);
            return;
        }
        bool listening = false;
        std::string error;
        impl.OnIoThread([&] { listening = impl.Listen(free.port, error); });
        if (listening) {
            impl.localPort = free.port;
            if (DebugSwitches[dmMain]) {
                const TProxyRoute route = RouteFor(settings, "-", 1);
                WriteLog("[TProxy.SetActive]listening on 127.0.0.1:" + std::to_string(free.port) + ", " +
                         ProxyKindName(route.kind) +
                         (route.kind == TProxyKind::Direct ? std::string() : " through " + FirstHopText(route)));
            }
            return;
        }
        // Taken between the probe and the listener (or not to be had on the
        // loopback address): the search goes on above it.
        if (free.port >= 65535) {
            impl.localPort = 0;
            if (DebugSwitches[dmMain]) WriteLog("[TProxy.SetActive]the mapper cannot start: " + error);
            return;
        }
        from = free.port + 1;
    }
}

}  // namespace kiv
