#pragma once
// A picture that the first frame does not show: decoded from its file at its first use
// (or when the window has time after the first frame), once, whether the file loads or not.
#include <string>

#include "skin/skin_picture.h"

namespace zv::skin {

class CDeferredPicture {
public:
    explicit CDeferredPicture(std::wstring fileName) : m_strFileName(std::move(fileName)) {}
    CDeferredPicture(const CDeferredPicture&) = delete;
    CDeferredPicture& operator=(const CDeferredPicture&) = delete;

    // The picture, decoded on the first call; a missing file stays missing without retries.
    CSkinPicture& Get();
    bool IsDecoded() const noexcept { return m_bAttempted; }

private:
    std::wstring m_strFileName;
    CSkinPicture m_picture;
    bool m_bAttempted = false;
};

} // namespace zv::skin
