#pragma once
// Sample view trees for the renderer's benchmark and the documentation
// snapshot.

#include <cmath>
#include <memory>
#include <string>

#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Label.h"
#include "platform/ui/Layer.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"

namespace sample {

// A view drawing a gradient with a rounded outline in drawRect.
class GradientBadge : public ui::View {
public:
    GradientBadge(const ui::Rect& frame, ui::Color top, ui::Color bottom) : View(frame), top_(top), bottom_(bottom) {}
    void drawRect(const ui::Rect&) override {
        ui::GraphicsContext* ctx = ui::currentContext();
        ui::Rect b = bounds();
        ctx->saveGState();
        ui::BezierPath::withRoundedRect(b.insetBy(1, 1), 6).addClip();
        ctx->drawLinearGradient(ui::Gradient::withColors({top_, bottom_}), {0, b.minY()}, {0, b.maxY()}, 0);
        ctx->restoreGState();
        ctx->setStrokeColor(ui::Color::white(1, 0.6));
        ui::BezierPath outline = ui::BezierPath::withRoundedRect(b.insetBy(1, 1), 6);
        outline.stroke();
    }

private:
    ui::Color top_, bottom_;
};

// A pie that fills clockwise from twelve o'clock.
class Pie : public ui::View {
public:
    Pie(const ui::Rect& frame, double progress) : View(frame), progress_(progress) {
        setBackgroundColor(ui::Color::clearColor());
    }
    void drawRect(const ui::Rect&) override {
        ui::GraphicsContext* ctx = ui::currentContext();
        ui::Rect b = bounds();
        ctx->setLineWidth(2);
        ctx->setStrokeColor(ui::Color::whiteColor());
        ctx->setFillColor(ui::Color::white(1, 0.1));
        ctx->fillEllipseInRect(b.insetBy(2, 2));
        ctx->strokeEllipseInRect(b.insetBy(2, 2));
        ctx->setFillColor(ui::Color::whiteColor());
        ctx->beginPath();
        ctx->moveTo(b.midX(), b.midY());
        ctx->addArc(b.midX(), b.midY(), (b.width() - 4) / 2, -M_PI / 2, progress_ * 2 * M_PI - M_PI / 2, 0);
        ctx->closePath();
        ctx->fillPath();
    }

private:
    double progress_;
};

// 320x480 points of 200 views: 40 rows of five (row, gradient badge,
// label, pie, divider).
inline std::shared_ptr<ui::Window> buildBenchTree() {
    auto window = ui::Window::create({0, 0, 320, 480});
    window->setBackgroundColor(ui::Color::white(0.95));
    const char* texts[] = {"一键校验 Verify", "安全日志 Log", "账户锁定 Lock", "动态密码 123456"};
    for (int i = 0; i < 40; ++i) {
        auto row = ui::View::create({0, i * 12.0, 320, 12});
        row->setBackgroundColor(i % 2 ? ui::Color::white(1) : ui::Color::rgba(0.93, 0.95, 1));
        window->addSubview(row);
        auto badge = std::make_shared<GradientBadge>(ui::Rect{4, 1, 30, 10}, ui::Color::rgba(1, 0.56, 0.41),
                                                     ui::Color::rgba(0.85, 0.3, 0.2));
        row->addSubview(badge);
        auto label = ui::Label::create({40, 0, 220, 12});
        label->setText(texts[i % 4]);
        label->setFont(ui::Font::systemFont(10));
        label->setBackgroundColor(ui::Color::clearColor());
        row->addSubview(label);
        auto pie = std::make_shared<Pie>(ui::Rect{280, 1, 10, 10}, (i % 10) / 10.0);
        pie->setBackgroundColor(ui::Color::rgba(0.2, 0.3, 0.5));
        row->addSubview(pie);
        auto divider = ui::View::create({0, 11.5, 320, 0.5});
        divider->setBackgroundColor(ui::Color::white(0.8));
        row->addSubview(divider);
    }
    return window;
}

// A small screen showing what the renderer draws: a navigation bar, a card
// with a shadow, Chinese text, gradients, a pie, a ring and a masked fade.
inline std::shared_ptr<ui::Window> buildShowcase() {
    using namespace ui;
    auto window = Window::create({0, 0, 320, 480});
    window->setBackgroundColor(Color::rgba(0.92, 0.93, 0.95));

    auto bar = GradientLayer::create();
    bar->setFrame({0, 0, 320, 44});
    bar->setColors({Color::rgba(0.18, 0.24, 0.38), Color::rgba(0.08, 0.11, 0.2)});
    window->layer().addSublayer(bar);
    auto title = Label::create({0, 0, 320, 44});
    title->setText("禾川 · 安全中心");
    title->setFont(Font::boldSystemFont(20));
    title->setTextColor(Color::whiteColor());
    title->setShadowColor(Color::white(0, 0.6));
    title->setShadowOffset({0, -1});
    title->setTextAlignment(TextAlignment::Center);
    title->setBackgroundColor(Color::clearColor());
    window->addSubview(title);

    auto card = View::create({20, 64, 280, 150});
    card->setBackgroundColor(Color::whiteColor());
    card->layer().setCornerRadius(10);
    card->layer().setShadowOpacity(0.35);
    card->layer().setShadowOffset({0, 3});
    card->layer().setShadowRadius(6);
    window->addSubview(card);
    auto code = Label::create({0, 20, 280, 50});
    code->setText("482 913");
    code->setFont(Font::boldSystemFont(40));
    code->setTextAlignment(TextAlignment::Center);
    code->setTextColor(Color::rgba(0.85, 0.3, 0.2));
    code->setBackgroundColor(Color::clearColor());
    card->addSubview(code);
    auto hint = Label::create({20, 80, 240, 50});
    hint->setText("动态密码每三十秒更新一次，请勿将密码告诉他人。");
    hint->setFont(Font::systemFont(14));
    hint->setNumberOfLines(0);
    hint->setLineBreakMode(LineBreakMode::WordWrap);
    hint->setTextAlignment(TextAlignment::Center);
    hint->setTextColor(Color::darkGrayColor());
    hint->setBackgroundColor(Color::clearColor());
    card->addSubview(hint);

    auto dark = View::create({20, 234, 280, 120});
    dark->setBackgroundColor(Color::rgba(0.12, 0.14, 0.2));
    dark->layer().setCornerRadius(10);
    window->addSubview(dark);
    dark->addSubview(std::make_shared<Pie>(Rect{30, 30, 60, 60}, 0.65));
    auto badge = std::make_shared<GradientBadge>(Rect{120, 40, 130, 40}, Color::rgba(1, 0.56, 0.41),
                                                 Color::rgba(0.85, 0.3, 0.2));
    dark->addSubview(badge);
    auto badgeText = Label::create({0, 0, 130, 40});
    badgeText->setText("放行");
    badgeText->setFont(Font::boldSystemFont(18));
    badgeText->setTextColor(Color::whiteColor());
    badgeText->setTextAlignment(TextAlignment::Center);
    badgeText->setBackgroundColor(Color::clearColor());
    badge->addSubview(badgeText);

    // Stripes that fade out to the right through a gradient mask.
    auto stripes = View::create({20, 374, 280, 24});
    stripes->setBackgroundColor(Color::rgba(0.2, 0.6, 0.9));
    stripes->layer().setCornerRadius(12);
    stripes->setClipsToBounds(true);
    for (int i = 0; i < 14; ++i) {
        auto s = View::create({i * 22.0, -10, 8, 44});
        s->setBackgroundColor(Color::white(1, 0.35));
        s->setTransform(AffineTransform::makeRotation(0.5));
        stripes->addSubview(s);
    }
    auto fade = GradientLayer::create();
    fade->setFrame({0, 0, 280, 24});
    fade->setColors({Color::white(0, 1), Color::white(0, 0.15)});
    fade->setStartPoint({0, 0.5});
    fade->setEndPoint({1, 0.5});
    stripes->layer().setMask(fade);
    window->addSubview(stripes);

    auto footer = Label::create({0, 420, 320, 40});
    footer->setText("Quenta 3.0.0  ·  一键校验 · 账户保护 · 安全日志");
    footer->setFont(Font::systemFont(12));
    footer->setTextColor(Color::grayColor());
    footer->setTextAlignment(TextAlignment::Center);
    footer->setBackgroundColor(Color::clearColor());
    window->addSubview(footer);
    return window;
}

}  // namespace sample
