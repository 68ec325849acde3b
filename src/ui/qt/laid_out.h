// The controls of a window made by its layout (ui/layout/form_layouts.h).
#pragma once

#include <QGroupBox>
#include <QString>
#include <QWidget>

#include <span>
#include <stdexcept>
#include <type_traits>

#include "ui/layout/form_layouts.h"
#include "ui/qt/scaling.h"

// Makes the control `name` of `window`'s layout: a `Control` in the widget
// its record names as parent, under its name, at its scaled place, with
// its caption and hint. `window` carries the layout's first name.
template <typename Control>
Control* MakeLaidOut(QWidget& window, std::span<const ControlLayout> layout, const char* name) {
  const ControlLayout& record = LayoutOf(layout, name);
  const QString parentName = QString::fromLatin1(record.parent);
  QWidget* parent =
      window.objectName() == parentName ? &window : window.findChild<QWidget*>(parentName);
  if (parent == nullptr) throw std::logic_error("a control made before its parent");
  auto* control = new Control(parent);
  control->setObjectName(QString::fromLatin1(record.name));
  control->setGeometry(ScaledRect(record.rect));
  if (record.caption != nullptr) {
    const QString caption = QString::fromUtf8(record.caption);
    if constexpr (std::is_base_of_v<QGroupBox, Control>) {
      control->setTitle(caption);
    } else if constexpr (requires { control->setText(caption); }) {
      control->setText(caption);
    } else {
      throw std::logic_error("a caption for a control that shows none");
    }
  }
  if (record.hint != nullptr) control->setToolTip(QString::fromUtf8(record.hint));
  return control;
}
