#include "app/screens/token/CodeEngine.h"

#include "platform/foundation/Resetters.h"
#include "platform/gl/GL.h"

using namespace engine2d;

namespace CodeEngine {

std::shared_ptr<GxGLView> attach(ui::View& host, const ui::Rect& frame, GxDirectorDelegate* delegate) {
    GxDirector& director = GxDirector::sharedDirector();
    // Between tests and pictures the shared view and its scenes go.
    static const bool registered =
        (foundation::registerResetter("token.codeEngine", foundation::ResetPhase::SharedObject,
                                      [] {
                                          GxDirector& d = GxDirector::sharedDirector();
                                          d.stopAnimation();
                                          d.setDelegate(nullptr);
                                          d.end();
                                      }),
         true);
    (void)registered;
    std::shared_ptr<GxGLView> view = director.openGLView();
    if (!view) {
        view = GxGLView::viewWithFrame(frame, kGxColorFormatRGBA8, 0, false, nullptr, false, 0);
        if (!view) return nullptr;
        view->setOpaque(false);
        director.setView(view);
        director.setAnimationInterval(1.0 / 60);
        director.enableRetinaDisplay(true);
    } else if (view->frame() != frame) {
        view->setFrame(frame);
    }
    if (view->superview() != &host) {
        view->removeFromSuperview();
        host.addSubview(view);
    }
    host.sendSubviewToBack(view.get());
    director.setDelegate(delegate);
    if (view->context() && view->context()->makeCurrent()) gl::ClearColor(0, 0, 0, 0);
    return view;
}

void run(const std::shared_ptr<GxScene>& scene) {
    GxDirector& director = GxDirector::sharedDirector();
    if (!director.openGLView() || !scene) return;
    if (director.runningScene() != scene) {
        if (director.sceneCount() > 0)
            director.replaceScene(scene);
        else
            director.runWithScene(scene);
    }
    director.startAnimation();
}

void stop(GxDirectorDelegate* delegate) {
    GxDirector& director = GxDirector::sharedDirector();
    // A tab that goes after the other one has taken the engine over leaves
    // it running.
    if (delegate && director.delegate() != delegate) return;
    director.stopAnimation();
    director.setDelegate(nullptr);
}

}  // namespace CodeEngine
