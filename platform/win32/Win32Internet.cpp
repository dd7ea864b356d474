#include "platform/win32/Win32Internet.h"

#include "platform/win32/WideText.h"

#include <vector>
#include <windows.h>
// wininet.h needs the types of windows.h first.
#include <wininet.h>

namespace talvoren::platform::win32 {

namespace {

// A piece of a cracked address (none when absent).
std::u16string part(const wchar_t* text, DWORD length)
{
    return text ? fromWide(text, length) : std::u16string();
}

// A header of the answer, empty when there is none.
std::u16string header(HINTERNET request, DWORD which)
{
    DWORD bytes = 0;
    HttpQueryInfoW(request, which, nullptr, &bytes, nullptr);
    if (bytes == 0) {
        return {};
    }
    std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1, L'\0');
    bytes = DWORD(buffer.size() * sizeof(wchar_t));
    if (!HttpQueryInfoW(request, which, buffer.data(), &bytes, nullptr)) {
        return {};
    }
    return fromWideBuffer(buffer.data(), buffer.size());
}

bool isRedirect(DWORD status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

constexpr int kMaxRedirects = 5;

} // namespace

TInternetGet::~TInternetGet()
{
    CloseHandles();
}

bool TInternetGet::Hold(void*& slot, void* handle)
{
    std::lock_guard<std::mutex> guard(fLock);
    if (fAborted) {
        InternetCloseHandle(handle);
        return false;
    }
    slot = handle;
    return true;
}

void TInternetGet::CloseHandles()
{
    std::lock_guard<std::mutex> guard(fLock);
    // The request first: closing it is what ends a blocking read.
    for (void** slot : {&fRequest, &fConnection, &fSession}) {
        if (*slot) {
            InternetCloseHandle(*slot);
            *slot = nullptr;
        }
    }
}

void TInternetGet::Abort()
{
    fAborted = true;
    CloseHandles();
}

DWORD TInternetGet::Send(const std::u16string& url, bool forceReload, unsigned long timeoutMs)
{
    URL_COMPONENTSW parts{};
    parts.dwStructSize = sizeof(parts);
    parts.dwHostNameLength = 1; // pointers into `url`, not copies
    parts.dwUrlPathLength = 1;
    parts.dwExtraInfoLength = 1;
    if (!InternetCrackUrlW(wide(url), DWORD(url.size()), 0, &parts) || parts.dwHostNameLength == 0
        || (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS)) {
        return 0;
    }
    const bool secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    const std::u16string host = part(parts.lpszHostName, parts.dwHostNameLength);
    std::u16string target
        = part(parts.lpszUrlPath, parts.dwUrlPathLength) + part(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (target.empty()) {
        target = u"/";
    }

    HINTERNET session = InternetOpenW(L"Talvoren", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (!session || !Hold(fSession, session)) {
        return 0;
    }
    HINTERNET connection
        = InternetConnectW(session, wide(host), parts.nPort, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    if (!connection || !Hold(fConnection, connection)) {
        return 0;
    }
    // Never a dialog: a certificate problem is an error. Redirects are not
    // followed here but handed to the caller, who decides.
    DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_COOKIES
        | INTERNET_FLAG_NO_AUTO_REDIRECT | (secure ? INTERNET_FLAG_SECURE : 0);
    const wchar_t* headers = nullptr;
    if (forceReload) {
        flags |= INTERNET_FLAG_PRAGMA_NOCACHE;
        headers = L"Cache-Control: no-cache\r\n";
    }
    HINTERNET request = HttpOpenRequestW(connection, L"GET", wide(target), nullptr, nullptr, nullptr, flags, 0);
    if (!request || !Hold(fRequest, request)) {
        return 0;
    }
    // On the connection and the request themselves: the ones given to the
    // session are not passed on everywhere (Wine keeps only the connect
    // timeout).
    DWORD timeout = timeoutMs;
    for (HINTERNET handle : {connection, request}) {
        for (DWORD option :
             {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT}) {
            InternetSetOptionW(handle, option, &timeout, sizeof(timeout));
        }
    }
    DWORD status = 0;
    DWORD statusBytes = sizeof(status);
    if (!HttpSendRequestW(request, headers, headers ? DWORD(-1) : 0, nullptr, 0) || fAborted
        || !HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &statusBytes, nullptr)
        || fAborted) {
        return 0;
    }
    return status;
}

bool TInternetGet::Run(const std::u16string& url, bool forceReload, unsigned long timeoutMs, size_t chunkSize,
                       const std::function<std::u16string(const std::u16string&, const std::u16string&)>& onRedirect,
                       const std::function<bool(int)>& onStatus, const std::function<bool(const char*, size_t)>& onData)
{
    if (chunkSize == 0) {
        return false;
    }
    std::u16string current = url;
    for (int hop = 0;; ++hop) {
        const DWORD status = Send(current, forceReload, timeoutMs);
        if (status == 0) {
            CloseHandles();
            return false;
        }
        if (!isRedirect(status)) {
            if (!onStatus(int(status))) {
                CloseHandles();
                return false;
            }
            break;
        }
        const std::u16string location = header(fRequest, HTTP_QUERY_LOCATION);
        CloseHandles();
        current = hop < kMaxRedirects && !location.empty() && !fAborted ? onRedirect(current, location) : u"";
        if (current.empty()) {
            return false;
        }
    }

    // What is available now, not a full buffer: a slow server's bytes are
    // handed on as they come.
    HINTERNET request = fRequest;
    std::vector<char> buffer(chunkSize);
    bool ok = true;
    while (ok) {
        DWORD available = 0;
        if (fAborted || !InternetQueryDataAvailable(request, &available, 0, 0)) {
            ok = false;
            break;
        }
        if (available == 0) {
            break; // the end of the body
        }
        DWORD read = 0;
        const DWORD wanted = available < chunkSize ? available : DWORD(chunkSize);
        if (fAborted || !InternetReadFile(request, buffer.data(), wanted, &read)) {
            ok = false;
            break;
        }
        if (read == 0) {
            break;
        }
        ok = !fAborted && onData(buffer.data(), read);
    }
    CloseHandles();
    return ok && !fAborted;
}

} // namespace talvoren::platform::win32
