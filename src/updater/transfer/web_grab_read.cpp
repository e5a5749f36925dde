// The fetcher's read loop: reads a body into its store, bounded by its announced
// length, with progress notifications, cancel tests and a rate floor between reads.
#include "framework/file.h"
#include "updater/base/clock.h"
#include "updater/base/log.h"
#include "updater/base/text_helpers.h"
#include "updater/transfer/body_store.h"
#include "updater/transfer/read_sizer.h"
#include "updater/transfer/transfer_stats.h"
#include "updater/transfer/web_grab_transfer.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace {

constexpr uint32_t kAskAvailableBelow = 256 * 1024;

// The two lines a failed transfer leaves: the kind of failure, then its text.
void LogTransferFailure(bool internet, const std::wstring& text)
{
    if (internet)
        zv::Log().Log(zv::ZVLOG_INFO2, L"---- WARNING: CException caught: CInternetException while reading CHttpFile.  "
                                 L"Likely is an OK runtime condition.\n");
    else
        zv::Log().Log(zv::ZVLOG_INFO2, L"---- WARNING: CException caught.  May be an OK runtime condition.\n");
    zv::Log().Log(zv::ZVLOG_INFO2, L"---- e r r o r text: '%s'\n", text.c_str());
}

zv::fw::CHandle OpenCancelEvent(const std::wstring& name)
{
    zv::fw::CHandle event;
    if (!name.empty()) event.Reset(::OpenEventW(SYNCHRONIZE, FALSE, name.c_str()));
    return event;
}

bool IsSignalled(const zv::fw::CHandle& event)
{
    return event && ::WaitForSingleObject(event.Get(), 0) == WAIT_OBJECT_0;
}

// Reads one transfer's body; the transfer record receives the outcome.
class BodyReader {
public:
    BodyReader(priv_CWebGrab& grab, priv_CWebGrab::Transfer& transfer) : m_grab(grab), m_t(transfer) {}
    int Run();

private:
    void Begin();
    int ReadAll();
    // Stores what fits below the bound; false when the body ran into it.
    bool Keep(const char* data, uint32_t got);
    // Progress and cancel tests at a notification point; true when cancelled.
    bool Notify(uint32_t got);
    int Finish();
    int ConnectionFailure(std::wstring text);
    int OtherFailure(std::wstring text, bool tellSink);

    priv_CWebGrab& m_grab;
    priv_CWebGrab::Transfer& m_t;
    zv::fw::CHandle m_notifyCancel;
    zv::fw::CHandle m_hostCancel;
    uint32_t m_interval = 1;
    uint32_t m_sinceNotify = 0;
    uint32_t m_reads = 0;
    int64_t m_loopStart = 0, m_readMicros = 0, m_storeMicros = 0;
    // Two buffers: one is read into while the store may still be writing the other.
    // They outlive every write under way (Run settles the store before it returns).
    std::vector<char> m_buffers[2];
};

void BodyReader::Begin()
{
    m_notifyCancel = OpenCancelEvent(m_t.notify ? m_t.cancelEventName : std::wstring());
    m_hostCancel = OpenCancelEvent(m_t.hostCancelEventName);
    if (m_t.sink) {
        ZvLib_CItemProgress unnamed;
        unnamed.name = L"item";
        m_t.sink->OnItemBegin(m_grab.id, m_t.item ? *m_t.item : unnamed, m_t.bound, m_t.rangeStart, m_t.rangeEnd);
        m_interval = std::max<uint32_t>(1, m_t.sink->GetProgressInterval());
    }
    if (m_t.stats) m_t.stats->Reset(0);
}

int BodyReader::ConnectionFailure(std::wstring text)
{
    m_grab.errorText = std::move(text);
    m_t.connectionError = true;
    LogTransferFailure(true, m_grab.errorText);
    if (m_t.sink) m_t.sink->OnItemError(m_grab.id, m_grab.errorText);
    m_t.request->Close();
    return 0;
}

int BodyReader::OtherFailure(std::wstring text, bool tellSink)
{
    m_grab.errorText = std::move(text);
    LogTransferFailure(false, m_grab.errorText);
    if (tellSink && m_t.sink) m_t.sink->OnItemError(m_grab.id, m_grab.errorText);
    m_t.request->Close();
    return 0;
}

bool BodyReader::Keep(const char* data, uint32_t got)
{
    uint64_t position = static_cast<uint64_t>(m_t.base) + m_t.received;
    uint64_t room = m_t.bound > position ? m_t.bound - position : 0;
    uint32_t keep = static_cast<uint32_t>(std::min<uint64_t>(got, room));
    if (keep) m_t.store->Store(data, keep);
    m_t.received += keep;
    if (keep == got) return true;
    zv::Log().Log(zv::ZVLOG_DEBU1, L"ZvLib: ---- Downloader: body runs past its announced length %u; the rest "
                             L"is discarded.\n", m_t.bound);
    return false;
}

bool BodyReader::Notify(uint32_t got)
{
    m_sinceNotify += got;
    if (m_sinceNotify < m_interval) return false;
    m_sinceNotify = 0;
    if (m_t.stats) m_t.stats->Update(m_t.received);
    if (m_t.notify && m_t.sink)
        m_t.sink->OnItemProgress(m_grab.id, m_t.base + m_t.received, m_t.bound,
                                 m_t.stats ? m_t.stats->AverageRate() : 0, m_t.stats ? m_t.stats->SecondsRemaining() : 0);
    return IsSignalled(m_notifyCancel) || IsSignalled(m_hostCancel);
}

// The loop proper: 1 when the body ended or was cancelled, 0 after a failure.
int BodyReader::ReadAll()
{
    HINTERNET request = m_t.request->Get();
    for (auto& buffer : m_buffers) buffer.resize(zv::ReadSizer::kMaxRead);
    int current = 0;
    zv::ReadSizer sizer;
    int64_t lastReadEnd = m_t.sentMicros;
    for (;;) {
        // What is already buffered matters only while reads are small; asking costs a
        // call into the socket layer on every read.
        DWORD available = 0;
        if (sizer.NextRead(0) < kAskAvailableBelow && !::InternetQueryDataAvailable(request, &available, 0, 0))
            available = 0;
        DWORD got = 0;
        char* buffer = m_buffers[current].data();
        if (!::InternetReadFile(request, buffer, sizer.NextRead(available), &got))
            return ConnectionFailure(zv::inet::ErrorText(::GetLastError()));
        int64_t readEnd = zv::PerformanceCounterMicros();
        sizer.Record(got, static_cast<uint64_t>(std::max<int64_t>(0, readEnd - lastReadEnd)));
        m_readMicros += readEnd - lastReadEnd;
        lastReadEnd = readEnd;
        ++m_reads;
        if (got == 0) return 1;

        bool more = Keep(buffer, got);
        current ^= 1;
        m_storeMicros += zv::PerformanceCounterMicros() - readEnd;
        if (!more) return 1;
        if (Notify(got)) {
            m_t.cancelled = true;
            return 1;
        }
        if (m_t.rateLimit && TooSlow(*m_t.rateLimit, static_cast<uint64_t>(readEnd - m_t.sentMicros), m_t.received))
            return ConnectionFailure(zv::Format(256, L"transfer too slow: %u bytes in %lld ms", m_t.received,
                                                static_cast<long long>((readEnd - m_t.sentMicros) / 1000)));
    }
}

int BodyReader::Finish()
{
    m_t.store->Flush();
    zv::Log().Log(zv::ZVLOG_DEBU2, L"ZvLib: ---- Downloader: %u bytes in %u reads, %lld ms: %lld ms waiting for data, "
                             L"%lld ms handing it to the store.\n", m_t.received, m_reads,
                (zv::PerformanceCounterMicros() - m_loopStart) / 1000, m_readMicros / 1000, m_storeMicros / 1000);
    HINTERNET request = m_t.request->Get();
    m_grab.status = zv::inet::QueryStatus(request);
    zv::inet::QueryText(request, HTTP_QUERY_RAW_HEADERS_CRLF, m_grab.headers);
    m_t.request->Close();
    uint32_t reached = m_t.base + m_t.received;
    if (!m_t.cancelled && reached < m_t.bound) {
        // The connection ended before the announced length: a broken transfer,
        // not a complete file.
        return ConnectionFailure(zv::Format(256, L"connection closed after %u of %u bytes", reached, m_t.bound));
    }
    if (m_t.cancelled) {
        zv::Log().Log(zv::ZVLOG_INFO2, L"ZvLib: ---- Downloader (%d)(0x%x): transfer cancelled after %u bytes.\n",
                    static_cast<int>(zv::DownloaderThreadId()), static_cast<unsigned>(zv::DownloaderThreadId()), m_t.received);
        return 0;
    }
    if (m_t.sink) m_t.sink->OnItemEnd(m_grab.id);
    return 1;
}

int BodyReader::Run()
{
    Begin();
    m_loopStart = zv::PerformanceCounterMicros();
    struct Settler {
        zv::BodyStore* store;
        ~Settler() { store->Settle(); }
    } settler{m_t.store};
    try {
        if (!ReadAll()) return 0;
        return Finish();
    } catch (const zv::fw::CFileException& e) {
        return OtherFailure(zv::inet::ErrorText(static_cast<DWORD>(e.m_lOsError)), true);
    } catch (...) {
        return OtherFailure(L"out of memory or unknown failure", false);
    }
}

} // namespace

int priv_CWebGrab::RunReadLoop(Transfer& transfer)
{
    return BodyReader(*this, transfer).Run();
}
