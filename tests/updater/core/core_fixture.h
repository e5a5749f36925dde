#pragma once
// An initialised updater on an in-memory machine with one request group, and a way to
// load a manifest written inline.
#include "updater/core/updater.h"
#include "updater/core/updater_imp.h"
#include "support/fake_machine/fake_machine.h"
#include "updater/base/log.h"
#include "updater/base/text_helpers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zvcoretest {

// TEMP is C:\users\user\Temp on the fake machine, the program in C:\Program Files\Vesk.
class CoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The log's level comes from the tests, not from a configuration file.
        zv::Log().EnsureInitialised();
        machine.programDir = L"C:\\Program Files\\Vesk";
        ASSERT_EQ(updater.Initialize(), 1);
        imp = updater.Imp();
        ASSERT_EQ(updater.CreateRequestGroupInfo(&group), 1);
        group->config.productAbbr = L"TVK";
        group->config.language = L"ENU";
    }

    // Loads text as a manifest for the group; returns LoadManifestUtf8's result.
    int Load(const std::string& text)
    {
        return imp->LoadManifestUtf8(text.data(), text.size(), L"inline.man.xml", group->config);
    }

    // Every item as "manifestId" in list order.
    static std::vector<int> Ids(const std::vector<ZvLib_CItemBase*>& list)
    {
        std::vector<int> ids;
        for (auto* item : list) ids.push_back(item->manifestId);
        return ids;
    }

    ZvLib_CItemInstallableApp* App(size_t index)
    {
        return index < imp->items.size() ? dynamic_cast<ZvLib_CItemInstallableApp*>(imp->items[index].get()) : nullptr;
    }

    zv::expr::FakeMachine machine;
    ZvLib_CUpdater updater{machine};
    CUpdaterImp* imp = nullptr;
    ZvLib_CRequestGroupInfo* group = nullptr;
};

// An "Application" element that is valid unless the caller changes it: extra goes
// inside the element, attributes into its start tag.
inline std::string Application(int id, const std::string& extra = "", const std::string& attributes = "",
                               const std::string& url = "http://dl.example.invalid/pkg/installer.exe")
{
    // The reader takes the first of repeated attributes: the caller's come first.
    return "<Application " + attributes + " id=\"" + std::to_string(id) + "\" componentName=\"app" + std::to_string(id) +
           "\" componentVersion=\"1.0.0.0\" isSelected=\"1\" isUnselectable=\"1\" requiredSpaceMB=\"10\" estInstallTimeMins=\"1\"><Url>" +
           url + "</Url>" + extra + "</Application>";
}

inline std::string Manifest(const std::string& uiItems, const std::string& rest = "")
{
    return "<?xml version=\"1.0\"?><ZV_Manifest name=\"tandemix\" internalName=\"tdx\" contentRevision=\"7\"><UiItems>" + uiItems +
           "</UiItems>" + rest + "</ZV_Manifest>";
}

} // namespace zvcoretest
