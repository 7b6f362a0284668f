#include <gtest/gtest.h>

#include <vector>

#include "camera/CameraOwner.h"
#include "support/ScriptedPrompts.h"

namespace zorvane {
namespace {

using A = CameraActivity;

TEST(CameraOwner, OneActivityHoldsTheCameraAndARefusalNamesIt) {
    CameraOwner owner;
    EXPECT_TRUE(owner.MayUse(A::Calibration));
    ASSERT_TRUE(owner.Acquire(A::Sequence));
    EXPECT_TRUE(owner.Acquire(A::Sequence)) << "the holder asks again";
    for (A other : {A::Exposures, A::Calibration, A::Remote}) {
        EXPECT_FALSE(owner.MayUse(other));
        EXPECT_FALSE(owner.Acquire(other));
    }
    EXPECT_EQ(owner.Refusal(A::Sequence), "");
    EXPECT_EQ(owner.Refusal(A::Calibration),
              "Cannot calibrate while a sequence is running.\nStop the sequence first.");
    owner.Release(A::Calibration);
    EXPECT_TRUE(owner.Holds(A::Sequence)) << "only the holder gives it back";
    owner.Release(A::Sequence);
    EXPECT_EQ(owner.Holder(), A::None);

    // Exposures keep the words calibration has always used; the refusal carries the caption of
    // the refused activity's own messages.
    owner.Acquire(A::Exposures);
    EXPECT_EQ(owner.Refusal(A::Calibration), "Cannot calibrate while camera is imaging.");
    test::ScriptedPrompts prompts;
    EXPECT_FALSE(owner.MayUseOrTell(A::Sequence, prompts));
    EXPECT_TRUE(owner.MayUseOrTell(A::Exposures, prompts));
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, "Cannot start a sequence while camera is imaging.");
    EXPECT_EQ(prompts.messages[0].caption, "Sequencer");
    owner.Release(A::Exposures);

    // A client from outside is named in what the others are told.
    owner.Acquire(A::Remote, {}, "the guiding client");
    EXPECT_EQ(owner.Refusal(A::Exposures),
              "Cannot take exposures while the guiding client is using the camera.");
    EXPECT_STREQ(CameraOwner::RefusalCaption(A::Exposures), "Zorvane Capture");
}

TEST(CameraOwner, TheHolderHearsOfTheLossOnceItHasLetGo) {
    CameraOwner owner;
    std::vector<CameraLoss> heard;
    owner.Acquire(A::Calibration, [&](CameraLoss why) {
        EXPECT_EQ(owner.Holder(), A::None);
        heard.push_back(why);
    });
    owner.Acquire(A::Calibration, {});  // asking again keeps the handler
    owner.TakeAway(CameraLoss::Lost);
    owner.TakeAway(CameraLoss::Lost);  // nobody holds it: nobody hears
    owner.Acquire(A::Exposures);
    owner.TakeAway(CameraLoss::Disconnected);  // a holder without a handler just lets go
    EXPECT_EQ(heard, std::vector<CameraLoss>{CameraLoss::Lost});
    EXPECT_EQ(owner.Holder(), A::None);
}

}  // namespace
}  // namespace zorvane
