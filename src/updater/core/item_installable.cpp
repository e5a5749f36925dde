#include "updater/core/item_installable.h"

#include "updater/core/manifest_text.h"

namespace {

bool IsSet(const std::wstring& text)
{
    return !text.empty() && !zv::core::EqualsNoCase(text, L"dummy");
}

} // namespace

bool ZvLib_CItemInstallableApp::IsBasicValid() const
{
    return requiredSpaceMB != -1 && estInstallTimeMins != -1 && IsSet(url) && !zv::core::EqualsNoCase(commandLineArgs, L"dummy");
}

int ZvLib_CItemInstallableApp::IsValid() const
{
    return IsBasicValid() && IsSet(localPayloadPath) && IsSet(sigUrl) && IsSet(localSigPath) && !publicKeyPath.empty();
}
