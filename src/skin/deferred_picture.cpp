#include "skin/deferred_picture.h"

#include "skin/picture_path.h"

namespace zv::skin {

CSkinPicture& CDeferredPicture::Get()
{
    if (!m_bAttempted) {
        m_bAttempted = true;
        m_picture.Load(PicturePath(m_strFileName));
    }
    return m_picture;
}

} // namespace zv::skin
