#pragma once

// One HTTP GET through Windows' own Internet client (WinINet): the system's
// proxy settings and TLS; each redirect is put to the caller.
// The calls block, so a transfer runs on a thread of its own; Abort() from
// another thread makes it end soon.

#include <atomic>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>

namespace talvoren::platform::win32 {

class TInternetGet {
public:
    TInternetGet() = default;
    ~TInternetGet();
    TInternetGet(const TInternetGet&) = delete;
    TInternetGet& operator=(const TInternetGet&) = delete;

    // Fetches `url` (http or https only) with the agent "Talvoren". Nothing
    // comes from a cache and nothing is written to one; `forceReload` asks
    // the proxies on the way to go to the server as well. Each connect, send
    // and receive may take `timeoutMs`. A redirect gives `onRedirect` the
    // address and the Location header; it returns the address to go to, or
    // an empty text to stop (at most five are followed). `onStatus` gets the HTTP status once
    // the head arrived and tells whether the body is wanted; `onData` gets
    // the body in reads of at most `chunkSize` bytes and tells whether to go
    // on. Returns whether the wanted body arrived whole. Runs once.
    bool Run(const std::u16string& url, bool forceReload, unsigned long timeoutMs, size_t chunkSize,
             const std::function<std::u16string(const std::u16string&, const std::u16string&)>& onRedirect,
             const std::function<bool(int)>& onStatus, const std::function<bool(const char*, size_t)>& onData);

    // From any thread: closes the connection, which ends a blocking call of
    // Run() with an error; Run() then returns false without calling back.
    void Abort();

private:
    // Opens `url` and sends the request: the HTTP status, 0 on a failure.
    // The handles stay held.
    unsigned long Send(const std::u16string& url, bool forceReload, unsigned long timeoutMs);
    // Keeps `handle` as the one Abort() closes; false (and closed) when
    // aborted already.
    bool Hold(void*& slot, void* handle);
    void CloseHandles();

    std::mutex fLock;
    void* fSession = nullptr;
    void* fConnection = nullptr;
    void* fRequest = nullptr;
    std::atomic<bool> fAborted{false};
};

} // namespace talvoren::platform::win32
