#pragma once
// The set-up the view tests share, as a second base of the test class: a
// shown, focused view of the size given on a surface of its own, made in
// init() by openView() and deleted in cleanup() by closeView().

#include "surface/surface.h"
#include "surface/ui/surfaceview.h"

#include <QTest>

namespace qln::test {

class ViewTest {
protected:
    // False when the window never showed.
    bool openView(int width, int height)
    {
        m_document = new Surface;
        m_view = new SurfaceView(m_document);
        m_view->resize(width, height);
        m_view->show();
        if (!QTest::qWaitForWindowExposed(m_view))
            return false;
        m_view->setFocus();
        return true;
    }
    void closeView()
    {
        delete m_view;
        m_view = nullptr;
        delete m_document;
        m_document = nullptr;
    }
    Surface *m_document = nullptr;
    SurfaceView *m_view = nullptr;
};

} // namespace qln::test
