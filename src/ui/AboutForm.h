// TAboutForm: the version box, laid out from its control table.
#pragma once

#include <QDialog>
#include <memory>

#include "ui/ControlTable.h"

namespace toravin {

class TAboutForm : public QDialog {
  Q_OBJECT

 public:
  explicit TAboutForm(QWidget* owner);
  ~TAboutForm() override;
  const ControlTable& controls() const { return *m_controls; }

 private:
  std::unique_ptr<ControlTable> m_controls;
};

}  // namespace toravin
