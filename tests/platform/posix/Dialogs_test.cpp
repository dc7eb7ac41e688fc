#include "platform/Dialogs.h"

#include <gtest/gtest.h>

namespace dct::platform {
namespace {

// Records whether the dialog raised any event.
class Events : public ConfigDialogEvents, public ServiceDialogEvents {
public:
    void Shown(ConfigDialogView&) override { ++raised; }
    int32_t SaveClicked(ConfigDialogView&) override { return ++raised, kModalOk; }
    int32_t CancelClicked(ConfigDialogView&) override { return ++raised, kModalCancel; }
    void Button1Clicked(ServiceDialogView&) override { ++raised; }
    void Button2Clicked(ServiceDialogView&) override { ++raised; }
    void BrowseClicked(ServiceDialogView&) override { ++raised; }
    int raised = 0;
};

// No window system: both dialogs end at once, as if closed, and run no handler (so nothing is
// saved and no server is called).
TEST(PosixDialogs, EndAtOnceAsIfClosed) {
    Events events;
    EXPECT_EQ(ShowConfigDialog(ConfigDialogTexts{}, events), kModalCancel);
    ShowServiceDialog(ServiceDialogTexts{}, events);
    EXPECT_EQ(events.raised, 0);
}

}  // namespace
}  // namespace dct::platform
