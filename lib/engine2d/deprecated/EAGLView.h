#pragma once
// The GL view under its old name, for code that still uses it: a GL view
// with nothing of its own.

#include "lib/engine2d/director/GxGLView.h"

namespace engine2d {

class EAGLView : public GxGLView {
public:
    using GxGLView::GxGLView;
    // As GxGLView::viewWithFrame, making an EAGLView.
    static std::shared_ptr<EAGLView> viewWithFrame(const ui::Rect& frame,
                                                   const std::string& pixelFormat = kGxColorFormatRGB565,
                                                   unsigned depthFormat = 0, bool preserveBackbuffer = false,
                                                   const std::shared_ptr<gl::Context>& sharegroup = nullptr,
                                                   bool multiSampling = false, unsigned numberOfSamples = 0) {
        auto v = std::make_shared<EAGLView>(frame);
        if (!v->initWithFormat(pixelFormat, depthFormat, preserveBackbuffer, sharegroup, multiSampling,
                               numberOfSamples))
            return nullptr;
        return v;
    }
};

}  // namespace engine2d
