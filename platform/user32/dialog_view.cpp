#include "platform/user32/dialog_view.h"

#include "platform/user32/window.h"

namespace platform {

bool DescribeDialog(HWND dialog, DialogView& view) {
    ui::Window* d = ui::Find(dialog);
    if (!d || d->kind != ui::WindowKind::kDialog) return false;
    DialogView v;
    v.handle = d->handle;
    v.templateId = d->templateId;
    v.caption = d->text;
    v.enabled = d->Enabled();
    v.cx = d->cx;
    v.cy = d->cy;
    for (const auto& c : d->children) {
        ControlView cv;
        cv.handle = c->handle;
        cv.id = c->id;
        cv.className = c->className;
        cv.style = c->style;
        cv.text = c->text;
        cv.enabled = c->Enabled();
        cv.check = c->check;
        cv.items = c->items;
        if (c->kind == ui::WindowKind::kListBox && c->MultipleSelection()) {
            for (size_t i = 0; i < c->selected.size(); ++i)
                if (c->selected[i]) cv.selected.push_back(static_cast<int>(i));
        } else if (c->current >= 0) {
            cv.selected.push_back(c->current);
        }
        cv.x = c->x;
        cv.y = c->y;
        cv.cx = c->cx;
        cv.cy = c->cy;
        v.controls.push_back(std::move(cv));
    }
    view = std::move(v);
    return true;
}

}  // namespace platform
