#include "app/Anchors.h"

#include <QEvent>
#include <QRect>
#include <QWidget>
#include <utility>
#include <vector>

namespace {

// One span of a control along one axis: where its near edge and its far edge go when the
// parent grows by delta.
std::pair<int, int> Follow(int start, int length, bool nearAnchored, bool farAnchored, int delta) {
    if (nearAnchored && farAnchored)
        return {start, length + delta};
    if (farAnchored)
        return {start + delta, length};
    return {start, length};
}

class TAnchorLayout : public QObject {
  public:
    explicit TAnchorLayout(QWidget* parent)
        : QObject(parent), parent_(parent), design_(parent->size()) {
        parent->installEventFilter(this);
    }

    void Add(QWidget* control, int anchors) {
        controls_.push_back({control, control->geometry(), anchors});
    }

    void Move(QWidget* control, const QRect& design) {
        for (TAnchored& c : controls_) {
            if (c.control == control)
                c.design = design;
        }
        Arrange();
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == parent_ && event->type() == QEvent::Resize)
            Arrange();
        return QObject::eventFilter(watched, event);
    }

  private:
    struct TAnchored {
        QWidget* control;
        QRect design;
        int anchors;
    };

    void Arrange() {
        const int dw = parent_->width() - design_.width();
        const int dh = parent_->height() - design_.height();
        for (const TAnchored& c : controls_) {
            const auto [x, w] =
                Follow(c.design.x(), c.design.width(), c.anchors & akLeft, c.anchors & akRight, dw);
            const auto [y, h] = Follow(c.design.y(), c.design.height(), c.anchors & akTop,
                                       c.anchors & akBottom, dh);
            c.control->setGeometry(x, y, w, h);
        }
    }

    QWidget* parent_;
    QSize design_;
    std::vector<TAnchored> controls_;
};

}  // namespace

namespace {

TAnchorLayout* LayoutOf(QWidget* parent) {
    for (QObject* child : parent->children()) {
        if (auto* layout = dynamic_cast<TAnchorLayout*>(child))
            return layout;
    }
    return nullptr;
}

}  // namespace

void SetAnchors(QWidget* control, int anchors) {
    QWidget* parent = control->parentWidget();
    TAnchorLayout* layout = LayoutOf(parent);
    if (!layout)
        layout = new TAnchorLayout(parent);
    layout->Add(control, anchors);
}

void MoveAnchored(QWidget* control, const QRect& design) {
    if (TAnchorLayout* layout = LayoutOf(control->parentWidget()))
        layout->Move(control, design);
}
