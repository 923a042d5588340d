// Interpolation curves and the modifiers that drive real sound objects.
#include <AL/al.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "lib/sound/SndPropertyModifier.h"
#include "platform/foundation/RunLoop.h"
#include "tests/lib/sound/SoundFiles.h"
#include "tests/support/TestSupport.h"

namespace {

TEST(Interpolator, Curves) {
    struct Case {
        int type;
        float start;
        float end;
        float t;
        float expected;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Case cases[] = {
        {0, 0, 1, 0.25f, 0.25f},
        {0, 2, -2, 0.25f, 1.0f},
        {0, 0, 1, 0, 0},
        {1, 0, 1, 0.25f, 0.15625f},
        {1, 0, 1, 0.5f, 0.5f},
        {1, 1, 0, 0.25f, 0.84375f},
        {2, 0, 1, 0.25f, std::exp2(-7.5f) - 0.001f},
        {2, 0, 1, 0, 0},
        {2, 1, 0, 0.5f, 0.03125f},
        {2, 1, 1, 0.5f, 1.0f},  // equal ends take the falling curve and stay put
        {2, 0, 1, 0.9999f, std::exp2(10 * (0.9999f - 1)) - 0.001f},
        // From t = 1 on, and for a t that is not a number, the end value.
        {2, 0, 1, 1, 1},
        {0, 0, 1, 1.5f, 1},
        {1, 3, 5, nan, 5},
        // An unknown curve gives 0.
        {7, 3, 5, 0.5f, 0},
    };
    for (const auto& c : cases) {
        SndFloatInterpolator in(c.type, c.start, c.end);
        EXPECT_NEAR(in.interpolate(c.t), c.expected, 1e-6) << c.type << " " << c.start << "->" << c.end << " @" << c.t;
    }
    // Just before the end the rising exponential curve is 0.999 of the way.
    EXPECT_NEAR(SndFloatInterpolator(2, 0, 1).interpolate(std::nextafter(1.0f, 0.0f)), 0.999f, 1e-4);
}

class ModifierTest : public testing::Test {
protected:
    void SetUp() override {
        engine = SndSoundEngine::create();
        ASSERT_TRUE(engine->functioning());
        std::vector<int16_t> s(8000, 500);
        ASSERT_TRUE(engine->loadBufferFromData(0, s.data(), AL_FORMAT_MONO16, 16000, 8000));
        source = engine->soundSourceForSound(0, 0);
        ASSERT_NE(source, nullptr);
        source->setLooping(true);
    }
    std::shared_ptr<SndSoundEngine> engine;
    std::shared_ptr<SndSoundSource> source;
};

TEST_F(ModifierTest, FaderStepsTheGainAndStopsAtTheEndWhenAsked) {
    for (float last : {1.0f, 1.5f}) {
        SndSoundSourceFader fader(source, SndFloatInterpolator::kSndInterpolationLinear, 1.0f, 0.2f);
        fader.setStopTargetWhenComplete(true);
        ASSERT_TRUE(source->play());
        fader.modify(0.5f);
        EXPECT_NEAR(source->gain(), 0.6f, 1e-6);
        EXPECT_NEAR(fader.targetProperty(), 0.6f, 1e-6);
        EXPECT_TRUE(source->isPlaying());
        fader.modify(last);
        EXPECT_FLOAT_EQ(source->gain(), 0.2f);
        EXPECT_FALSE(source->isPlaying()) << last;
    }
    // Without the flag the source plays on.
    SndSoundSourceFader fader(source, SndFloatInterpolator::kSndInterpolationLinear, 0.0f, 1.0f);
    ASSERT_TRUE(source->play());
    fader.modify(1.0f);
    EXPECT_FLOAT_EQ(source->gain(), 1.0f);
    EXPECT_TRUE(source->isPlaying());
}

TEST_F(ModifierTest, PannerAndPitchBender) {
    SndSoundSourcePanner panner(source, SndFloatInterpolator::kSndInterpolationLinear, -1.0f, 1.0f);
    SndSoundSourcePitchBender bender(source, SndFloatInterpolator::kSndInterpolationSCurve, 1.0f, 2.0f);
    panner.modify(0.75f);
    bender.modify(0.25f);
    EXPECT_FLOAT_EQ(source->pan(), 0.5f);
    EXPECT_FLOAT_EQ(source->pitch(), 1.15625f);
    ASSERT_TRUE(source->play());
    bender.setStopTargetWhenComplete(true);
    bender.modify(1.0f);
    EXPECT_FLOAT_EQ(source->pitch(), 2.0f);
    EXPECT_FALSE(source->isPlaying());
}

TEST_F(ModifierTest, EngineFaderStopsEverySound) {
    const ALuint playing = engine->playSound(0, 0, 1, 0, 1, true);
    ASSERT_NE(playing, kSndNoSource);
    SndSoundEngineFader fader(engine, SndFloatInterpolator::kSndInterpolationLinear, 1.0f, 0.0f);
    fader.setStopTargetWhenComplete(true);
    fader.modify(0.25f);
    EXPECT_FLOAT_EQ(engine->masterGain(), 0.75f);
    fader.modify(1.0f);
    EXPECT_FLOAT_EQ(engine->masterGain(), 0.0f);
    ALint state = 0;
    alGetSourcei(playing, AL_SOURCE_STATE, &state);
    EXPECT_EQ(state, AL_STOPPED);
}

TEST_F(ModifierTest, LongSourceFaderPausesTheMusic) {
    const std::string path = soundtest::writeSoundFile(testsupport::tempDir("fade") + "/m.ogg",
                                                       SF_FORMAT_OGG | SF_FORMAT_VORBIS, 1, 22050, 22050);
    auto music = std::make_shared<SndLongAudioSource>();
    music->load(path);
    music->setNumberOfLoops(-1);
    music->play();
    ASSERT_TRUE(music->isPlaying());
    SndLongAudioSourceFader fader(music, SndFloatInterpolator::kSndInterpolationExponential, 1.0f, 0.0f);
    fader.setStopTargetWhenComplete(true);
    fader.modify(0.5f);
    EXPECT_NEAR(music->volume(), 0.03125f, 1e-6);
    EXPECT_NEAR(music->audioSourcePlayer()->volume(), 0.03125f, 1e-6);
    // Let the mixer move past the start.
    ASSERT_TRUE(
        foundation::RunLoop::main().runUntil([&] { return music->audioSourcePlayer()->currentTime() > 0; }, 10));
    fader.modify(1.0f);
    EXPECT_EQ(music->volume(), 0.0f);
    EXPECT_FALSE(music->isPlaying());
    // Paused, not rewound: it resumes where it was.
    EXPECT_GT(music->audioSourcePlayer()->currentTime(), 0.0);
}

TEST_F(ModifierTest, ValuesAndCurveCanBeChangedAfterwards) {
    SndSoundSourceFader fader(source, SndFloatInterpolator::kSndInterpolationLinear, 0.0f, 1.0f);
    fader.setEndValue(0.2f);
    EXPECT_FLOAT_EQ(fader.endValue(), 0.2f);
    fader.setStartValue(0.1f);
    EXPECT_FLOAT_EQ(fader.startValue(), 0.1f);
    fader.modify(0.5f);
    EXPECT_FLOAT_EQ(source->gain(), 0.15f);
    fader.setInterpolationType(SndFloatInterpolator::kSndInterpolationSCurve);
    EXPECT_EQ(fader.interpolator().interpolationType(), SndFloatInterpolator::kSndInterpolationSCurve);
    fader.modify(0.25f);
    EXPECT_NEAR(source->gain(), 0.1f + 0.1f * 0.15625f, 1e-6);
    // The modifier keeps its target alive.
    std::weak_ptr<SndSoundSource> weak = source;
    source.reset();
    EXPECT_FALSE(weak.expired());
    fader.modify(1.0f);
    EXPECT_FLOAT_EQ(weak.lock()->gain(), 0.2f);
}

TEST(BaseModifier, HasNoPropertyToSet) {
    auto target = std::make_shared<int>(3);
    SndPropertyModifier base(target, 0, 1, 2);
    base.setStopTargetWhenComplete(true);
    base.modify(0.5f);
    base.modify(1.0f);
    EXPECT_EQ(base.targetProperty(), 0.0f);
    EXPECT_EQ(*target, 3);
    // A typed modifier made without a target changes nothing.
    SndSoundSourceFader empty(nullptr, 0, 0, 1);
    empty.setStopTargetWhenComplete(true);
    empty.modify(1.0f);
    EXPECT_EQ(empty.targetProperty(), 0.0f);
}

}  // namespace
