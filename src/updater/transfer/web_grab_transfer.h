#pragma once
// The fetcher's own pieces, shared by its source files: one request's handles and one
// body transfer, what it reads into and how it ended.
#include "updater/transfer/web_grab.h"

#include <cstdint>
#include <string>

namespace zv {
class BodyStore;
}

class priv_CWebGrab::Request {
public:
    zv::inet::Handle connection;
    zv::inet::Handle handle;
    HINTERNET Get() const { return handle.Get(); }
    void Close()
    {
        handle.Reset();
        connection.Reset();
    }
};

struct priv_CWebGrab::Transfer {
    Request* request = nullptr;
    zv::BodyStore* store = nullptr;
    uint32_t base = 0;  // position of the first body byte in the target
    uint32_t bound = 0; // nothing is stored at or past this position; complete on reaching it
    bool notify = true; // the sink and the notify cancel event are consulted
    ZvLib_IDownloadEvents* sink = nullptr;
    const ZvLib_CItemProgress* item = nullptr;
    ZvLib_CTransferStats* stats = nullptr;
    std::wstring cancelEventName;     // tested only with notify
    std::wstring hostCancelEventName; // tested whatever notify says
    const zv::WholeFileLimits* rateLimit = nullptr; // a body slower than this is given up
    uint32_t rangeStart = 0;
    uint32_t rangeEnd = 0;
    int64_t sentMicros = 0; // when the request went out: the first read's rate counts from there

    // Outcome.
    uint32_t received = 0;
    bool cancelled = false;
    bool connectionError = false;
};
