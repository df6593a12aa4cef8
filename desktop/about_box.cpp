#include "desktop/about_box.h"

#include <QDialog>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "app/about.h"
#include "app/icon.h"
#include "codecs/library_versions.h"
#include "desktop/main_window.h"
#include "devices/desktop_audio.h"

namespace {

// Dialog units: a quarter of the font's average character width across, an
// eighth of its height down (1.5 and 1.625 pixels at the original's font).
struct DialogUnits {
  double x;
  double y;
  QRect Rect(int left, int top, int width, int height) const {
    return QRect(static_cast<int>(std::lround(left * x)), static_cast<int>(std::lround(top * y)),
                 static_cast<int>(std::lround(width * x)),
                 static_cast<int>(std::lround(height * y)));
  }
};

struct StaticText {
  int left, top, width, height;
  const char* text;
};

constexpr StaticText kTexts[] = {
    {45, 14, 128, 8, kAboutLine104},
    {45, 35, 59, 8, kAboutLine105},
    {45, 45, 98, 8, kAboutLine106},
    {45, 54, 138, 8, kAboutLine107},
};

// "Built with Qt 6.4.2, SDL 2.26.5, ...": every library by the version it runs on.
QString BuiltWith() {
  std::vector<std::string> names{std::string("Qt ") + qVersion()};
  for (auto&& list : {DeviceLibraryVersions(), CoreLibraryVersions()}) {
    names.insert(names.end(), list.begin(), list.end());
  }
  QString text = QStringLiteral("Built with ");
  for (size_t i = 0; i < names.size(); ++i) {
    if (i > 0) text += QStringLiteral(", ");
    text += QString::fromStdString(names[i]);
  }
  return text + QLatin1Char('.');
}

}  // namespace

void ShowAboutBox(MainWindow* owner) {
  QDialog dialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  dialog.setWindowTitle(kAboutTitle);
  dialog.setModal(true);
  const QFontMetrics metrics(dialog.font());
  const DialogUnits du{metrics.averageCharWidth() / 4.0, metrics.height() / 8.0};

  QLabel icon(&dialog);
  icon.setPixmap(AppIcon().pixmap(kIconSize, kIconSize));
  icon.setGeometry(QRect(du.Rect(14, 14, 0, 0).topLeft(), QSize(kIconSize, kIconSize)));

  QSize size = du.Rect(0, 0, 198, 99).size();
  const int rightMargin = du.Rect(0, 0, 198 - 183, 0).width();
  std::vector<std::unique_ptr<QLabel>> labels;
  for (const StaticText& t : kTexts) {
    auto label = std::make_unique<QLabel>(QString::fromUtf8(t.text), &dialog);
    QRect r = du.Rect(t.left, t.top, t.width, t.height);
    // Our lines are not the template's: a wider font must not cut them off.
    r.setWidth(std::max(r.width(), label->sizeHint().width()));
    r.setHeight(std::max(r.height(), label->sizeHint().height()));
    label->setGeometry(r);
    size.setWidth(std::max(size.width(), r.right() + 1 + rightMargin));
    labels.push_back(std::move(label));
  }

  // Below the template's lines, as wide as they are: the libraries, wrapped.
  QLabel builtWith(BuiltWith(), &dialog);
  builtWith.setWordWrap(true);
  const QRect lines = du.Rect(45, 66, 0, 0);
  const int width = size.width() - rightMargin - lines.left();
  builtWith.setGeometry(lines.left(), lines.top(), width, builtWith.heightForWidth(width));
  const int below = builtWith.geometry().bottom() + 1 - du.Rect(0, 66, 0, 0).top();

  QPushButton ok("&OK", &dialog);
  ok.setGeometry(du.Rect(72, 74, 40, 14).translated(0, below));
  size.setHeight(size.height() + below);
  ok.setDefault(true);
  ok.setFocus();
  QObject::connect(&ok, &QPushButton::clicked, &dialog, &QDialog::accept);

  dialog.setFixedSize(size);
  if (owner != nullptr) {
    // The template's place, relative to the owner's client area below the menu.
    dialog.move(owner->Panel().mapToGlobal(du.Rect(6, 21, 0, 0).topLeft()));
  }
  dialog.exec();
}
