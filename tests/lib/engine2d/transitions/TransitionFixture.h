#pragma once
// A director on a real GL view (Mesa surfaceless) of 48 x 32 points, frames
// driven through its display link with explicit timestamps, and scenes that
// write down the lifecycle calls they receive.

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "lib/engine2d/director/GxDirector.h"
#include "lib/engine2d/director/GxGLView.h"
#include "lib/engine2d/director/GxLayerColor.h"
#include "lib/engine2d/nodes/GxEnvironment.h"
#include "platform/gl/Context.h"
#include "platform/gl/GL.h"
#include "platform/shell/Driver.h"
#include "tests/support/RequireGL.h"

namespace engine2d::testing_transitions {

using Px = std::array<uint8_t, 4>;

class RecordingScene : public GxScene {
public:
    static std::shared_ptr<RecordingScene> make(std::string name, std::vector<std::string>* log, gxColor4B colour) {
        auto s = gxMake<RecordingScene>();
        s->name_ = std::move(name);
        s->log_ = log;
        s->addChild(GxLayerColor::layerWithColor(colour));
        return s;
    }
    void onEnter() override {
        GxScene::onEnter();
        note("onEnter");
    }
    void onEnterTransitionDidFinish() override {
        GxScene::onEnterTransitionDidFinish();
        note("onEnterTransitionDidFinish");
    }
    void onExitTransitionDidStart() override {
        GxScene::onExitTransitionDidStart();
        note("onExitTransitionDidStart");
    }
    void onExit() override {
        GxScene::onExit();
        note("onExit");
    }
    void cleanup() override {
        GxScene::cleanup();
        note("cleanup");
    }

private:
    void note(const char* what) {
        if (log_) log_->push_back(name_ + " " + what);
    }
    std::string name_;
    std::vector<std::string>* log_ = nullptr;
};

class TransitionTest : public testing::Test {
protected:
    static constexpr int kW = 48, kH = 32;
    static constexpr gxColor4B kBlue{0, 0, 255, 255}, kGreen{0, 255, 0, 255};

    void SetUp() override {
        if (!gl::Context::available()) return;
        driver_ = std::make_unique<shell::Driver>(ui::Size{320, 480}, 1);
        view_ = GxGLView::viewWithFrame({0, 0, kW, kH}, kGxColorFormatRGBA8);
        ASSERT_NE(view_, nullptr);
        driver_->window().addSubview(view_);
        director().setView(view_);
        gl::ClearColor(0, 0, 0, 0);
        driver_->settle();
        director().setNextDeltaTimeZero(true);
    }
    void TearDown() override {
        if (!driver_) return;
        director().end();
        director().touchDispatcher()->setDispatchEvents(true);
        gl::Context::clearCurrent();
    }
    static GxDirector& director() { return GxDirector::sharedDirector(); }
    // Ends the director (which lets go of the view) and attaches the view again.
    void restart() {
        director().end();
        director().setView(view_);
        gl::ClearColor(0, 0, 0, 0);
        director().setNextDeltaTimeZero(true);
    }

    std::shared_ptr<RecordingScene> scene(const char* name, gxColor4B colour) {
        return RecordingScene::make(name, &log_, colour);
    }
    // One frame `dt` seconds after the last one.
    void frame(double dt) {
        now_ += dt;
        director().displayLink()->tick(now_);
    }
    // Frames of `dt` until the director runs `scene`; false after `limit` frames.
    bool runUntilRunning(const std::shared_ptr<GxScene>& scene, double dt = 0.1, int limit = 100) {
        for (int i = 0; i < limit; ++i) {
            if (director().runningScene() == scene) return true;
            frame(dt);
        }
        return director().runningScene() == scene;
    }
    // The presented frame, x from the left and y from the bottom (in points).
    Px pixel(int x, int y) const { return view_->presentedPixel(x, kH - 1 - y); }

    std::unique_ptr<shell::Driver> driver_;
    std::shared_ptr<GxGLView> view_;
    std::vector<std::string> log_;
    double now_ = 100;
};

}  // namespace engine2d::testing_transitions
