#include "ui/FitLabels.h"

#include <QLabel>
#include <algorithm>

namespace toravin {

void FitLabelsInside(QWidget* root) {
  for (QLabel* label : root->findChildren<QLabel*>()) {
    QWidget* parent = label->parentWidget();
    if (!parent) continue;
    const int room = parent->width() - label->x() - 2;
    const int need = label->fontMetrics().horizontalAdvance(label->text()) + 2;
    if (need <= room || room <= 0) continue;
    QFont f = label->font();
    f.setStretch(std::max(50, room * 100 / need));
    label->setFont(f);
    label->resize(room, label->height());
  }
}

}  // namespace toravin
