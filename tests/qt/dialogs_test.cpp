// The dialogs the core opens: file dialogs with its filter lists, the About box
// and message boxes, each run modally and answered as a user would.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <functional>

#include "desktop/file_dialogs.h"
#include "qt/qt_test_support.h"

namespace {

class DialogTest : public WindowFixture {};

// Gives the event loop a bounded number of turns to close every modal window;
// one still open after them (a dialog the test did not answer) fails the test
// and is closed, so nothing waits forever. Counted in turns, not time.
void GuardModals(int turnsLeft = 20000) {
  QTimer::singleShot(0, [turnsLeft] {
    QWidget* open = QApplication::activeModalWidget();
    if (open == nullptr) return;
    if (turnsLeft > 0) {
      GuardModals(turnsLeft - 1);
      return;
    }
    auto* box = qobject_cast<QMessageBox*>(open);
    ADD_FAILURE() << "a dialog stayed open: " << open->windowTitle().toStdString() << " "
                  << (box != nullptr ? box->text().toStdString() : "");
    CloseStrayModals();
  });
}

// Runs `act` on the modal dialog once its loop is running.
template <typename Dialog>
void WhenOpen(std::function<void(Dialog&)> act) {
  QTimer::singleShot(0, [act] {
    auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr) {
      ADD_FAILURE() << "no modal dialog of the expected kind";
      CloseStrayModals();
      return;
    }
    GuardModals();
    act(*dialog);
  });
}

void Key(QWidget& w, int key) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
  QApplication::sendEvent(&w, &press);
}

const std::vector<FileFilter> kImportFilters = {
    {"Audio files", "*.wav;*.flac;*.mp3"},
    {"WAV files", "*.wav;*.wave"},
    {"MP3 files", "*.mp3"},
};
const std::vector<FileFilter> kExportFilters = {
    {"Wave File (*.wav)", "*.wav"},
    {"Ogg File (*.ogg)", "*.ogg"},
};

}  // namespace

TEST(FileFilters, PatternsGoWhereQtReadsThem) {
  EXPECT_EQ(QtNameFilter({"Sound Files (*.mp3,*.wav)", "*.mp3;*.wav"}),
            "Sound Files (*.mp3 *.wav)");
  EXPECT_EQ(QtNameFilter(kImportFilters[0]), "Audio files (*.wav *.flac *.mp3)");
  EXPECT_EQ(QtNameFilter({"Sonavel File (*.svl)", "*.svl"}), "Sonavel File (*.svl)");
  EXPECT_EQ(QtNameFilter({"All Files", "*.*"}), "All Files (*)");
  EXPECT_EQ(QtNameFilter({"Two", " *.a ; *.b ;"}), "Two (*.a *.b)");

  EXPECT_EQ(DefaultSuffix(kImportFilters[0]), "wav");
  EXPECT_EQ(DefaultSuffix({"Ogg File (*.ogg)", "*.ogg"}), "ogg");
  EXPECT_EQ(DefaultSuffix({"All Files", "*.*"}), "");
  EXPECT_EQ(DefaultSuffix({"Takes", "take*.wa?"}), "");
  EXPECT_EQ(DefaultSuffix({"None", ""}), "");
}

TEST_F(DialogTest, SaveAppendsTheChosenFiltersExtensionBeforeAskingToReplace) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  QFile existing(dir.filePath("take.ogg"));
  ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
  existing.close();

  QString startShown;
  QString question;
  WhenOpen<QFileDialog>([&](QFileDialog& dialog) {
    EXPECT_EQ(dialog.parentWidget(), window.get());
    EXPECT_EQ(dialog.nameFilters(), QStringList({"Wave File (*.wav)", "Ogg File (*.ogg)"}));
    startShown = dialog.findChild<QLineEdit*>("fileNameEdit")->text();
    // The user picks the second entry and types a bare name.
    Key(*dialog.findChild<QComboBox*>("fileTypeCombo"), Qt::Key_Down);
    dialog.findChild<QLineEdit*>("fileNameEdit")->setText("take");
    QTimer::singleShot(0, [&question] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr) return;
      question = box->text();
      box->button(QMessageBox::Yes)->click();
    });
    static_cast<QDialog&>(dialog).accept();  // as the Save or Open button does
  });
  std::string name = QFile::encodeName(dir.filePath("mix.wav")).toStdString();
  ASSERT_TRUE(platform->SaveFileDialog({}, kExportFilters, name, nullptr));
  EXPECT_EQ(startShown, "mix.wav");
  EXPECT_EQ(QString::fromStdString(name), dir.filePath("take.ogg"));
  EXPECT_TRUE(question.contains("take.ogg")) << question.toStdString();
}

TEST_F(DialogTest, OpenTakesATypedNameAsItIsAndCancelKeepsTheName) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  for (const char* name : {"take", "take.wav"}) {
    QFile file(dir.filePath(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  }

  // No extension is appended, whatever entry is selected: "take" is a file too.
  WhenOpen<QFileDialog>([&](QFileDialog& dialog) {
    EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptOpen);
    EXPECT_EQ(dialog.defaultSuffix(), "");
    dialog.setDirectory(dir.path());
    Key(*dialog.findChild<QComboBox*>("fileTypeCombo"), Qt::Key_Down);
    dialog.findChild<QLineEdit*>("fileNameEdit")->setText("take");
    static_cast<QDialog&>(dialog).accept();  // as the Open button does
  });
  std::string name;
  ASSERT_TRUE(platform->OpenFileDialog({}, kImportFilters, name));
  EXPECT_EQ(QString::fromStdString(name), dir.filePath("take"));

  WhenOpen<QFileDialog>([](QFileDialog& dialog) { dialog.reject(); });
  name = "kept.svl";
  EXPECT_FALSE(platform->OpenFileDialog({}, kImportFilters, name));
  EXPECT_EQ(name, "kept.svl");
}

TEST_F(DialogTest, AFormShowsItsFieldsAndReturnsWhatTheUserSet) {
  std::vector<FormField> fields = {{"&Tempo", 120, 30, 300, {}},
                                   {"T&rack", 1, 0, 2, {"Track 1", "Track 2", "Track 3"}}};
  WhenOpen<QDialog>([](QDialog& dialog) {
    EXPECT_EQ(dialog.windowTitle(), "Click Track");
    auto* tempo = dialog.findChild<QSpinBox*>();
    auto* track = dialog.findChild<QComboBox*>();
    ASSERT_TRUE(tempo != nullptr && track != nullptr);
    EXPECT_EQ(tempo->value(), 120);
    EXPECT_EQ(tempo->maximum(), 300);
    EXPECT_EQ(track->currentText(), "Track 2");
    EXPECT_EQ(dialog.findChild<QLabel*>()->buddy(), tempo);
    tempo->findChild<QLineEdit*>()->setText("96");
    track->setCurrentIndex(2);
    Key(dialog, Qt::Key_Return);
  });
  ASSERT_TRUE(platform->AskForm("Click Track", fields));
  EXPECT_EQ(fields[0].value, 96);
  EXPECT_EQ(fields[1].value, 2);

  WhenOpen<QDialog>([](QDialog& dialog) { Key(dialog, Qt::Key_Escape); });
  EXPECT_FALSE(platform->AskForm("Click Track", fields));
  EXPECT_EQ(fields[0].value, 96);
}

TEST_F(DialogTest, TitlesAndTheCheckBoxBelowTheListComeBackAsTheUserLeftThem) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  // A save dialog: its title, and the box ticked by the user.
  WhenOpen<QFileDialog>([&](QFileDialog& dialog) {
    EXPECT_EQ(dialog.windowTitle(), "Export Mix");
    auto* box = dialog.findChild<QCheckBox*>();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), "Trim silence at the end");
    EXPECT_FALSE(box->isChecked());
    EXPECT_TRUE(box->isVisibleTo(&dialog));
    box->click();
    dialog.findChild<QLineEdit*>("fileNameEdit")->setText("mix");
    static_cast<QDialog&>(dialog).accept();
  });
  DialogCheckBox trim{"Trim silence at the end", false};
  std::string name = QFile::encodeName(dir.filePath("start.wav")).toStdString();
  ASSERT_TRUE(platform->SaveFileDialog("Export Mix", kExportFilters, name, &trim));
  EXPECT_TRUE(trim.checked);
  EXPECT_EQ(QString::fromStdString(name), dir.filePath("mix.wav"));

  // A folder chooser: folders only, the box as it was left, untouched.
  WhenOpen<QFileDialog>([&](QFileDialog& dialog) {
    EXPECT_EQ(dialog.windowTitle(), "Export Tracks");
    EXPECT_EQ(dialog.fileMode(), QFileDialog::Directory);
    EXPECT_TRUE(dialog.findChild<QCheckBox*>()->isChecked());
    static_cast<QDialog&>(dialog).accept();
  });
  DialogCheckBox flac{"FLAC instead of WAV", true};
  std::string folder = QFile::encodeName(dir.path()).toStdString();
  ASSERT_TRUE(platform->FolderDialog("Export Tracks", folder, &flac));
  EXPECT_TRUE(flac.checked);
  EXPECT_EQ(QString::fromStdString(folder), dir.path());

  // No box where none is asked for.
  WhenOpen<QFileDialog>([](QFileDialog& dialog) {
    EXPECT_EQ(dialog.findChild<QCheckBox*>(), nullptr);
    dialog.reject();
  });
  EXPECT_FALSE(platform->OpenFileDialog("Import Sound File", kImportFilters, name));
}

TEST_F(DialogTest, AboutBoxFollowsTheTemplateAndClosesEveryWay) {
  window->show();
  const std::function<void(QDialog&)> closers[] = {
      [](QDialog& d) { Key(d, Qt::Key_Escape); },
      [](QDialog& d) { Key(d, Qt::Key_Return); },
      [](QDialog& d) { d.findChild<QPushButton*>()->click(); },
      [](QDialog& d) { d.close(); },
  };
  for (const auto& close : closers) {
    QStringList texts;
    WhenOpen<QDialog>([&](QDialog& d) {
      EXPECT_EQ(d.windowTitle(), "About Sonavel");
      EXPECT_EQ(d.parentWidget(), window.get());
      EXPECT_TRUE(d.isModal());
      EXPECT_FALSE(d.windowFlags() & Qt::WindowMaximizeButtonHint);
      QList<QLabel*> labels = d.findChildren<QLabel*>();
      std::sort(labels.begin(), labels.end(), [](QLabel* a, QLabel* b) { return a->y() < b->y(); });
      for (QLabel* l : labels) {
        if (!l->text().isEmpty()) texts << l->text();
        // Every line shows whole.
        EXPECT_LE(l->geometry().right(), d.width()) << l->text().toStdString();
      }
      const auto* ok = d.findChild<QPushButton*>();
      ASSERT_NE(ok, nullptr);
      EXPECT_EQ(ok->text(), "&OK");
      EXPECT_TRUE(ok->isDefault());
      // Below the texts, as in the template.
      EXPECT_GT(ok->y(), labels.back()->geometry().bottom());
      close(d);
    });
    platform->ShowAbout();
    ASSERT_EQ(texts.size(), 5);
    EXPECT_EQ(texts.first(4),
              QStringList({"Sonavel Application", "Version 2.2", "An eight-track audio recorder.",
                           "Free software: share it and change it."}));
    // The libraries the program runs on, each by its version.
    EXPECT_TRUE(texts[4].startsWith("Built with Qt 6.")) << texts[4].toStdString();
    for (const char* library : {"SDL 2.", "JACK ", "libsndfile 1.", "libvorbis 1.", "soxr 0."}) {
      EXPECT_TRUE(texts[4].contains(library)) << library;
    }
  }
}

TEST_F(DialogTest, MessageBoxShowsWhatWasDrawnAndLetsMessagesFlow) {
  window->show();
  Panel().grab();
  QCoreApplication::processEvents();
  Received().clear();

  int paintsBeforeBox = 0;
  class Counter : public QObject {
   public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override {
      if (e->type() == QEvent::Paint) ++paints;
      return false;
    }
  } counter;
  Panel().installEventFilter(&counter);

  platform->Invalidate(10, 10, 20, 20);
  platform->Post({MM_WOM_DONE, 7, 0});
  size_t deliveredWhileOpen = 0;
  WhenOpen<QMessageBox>([&](QMessageBox& box) {
    paintsBeforeBox = counter.paints;
    // Posted messages arrive through the event loop's watch on their queue,
    // which the box's own loop runs too.
    QCoreApplication::processEvents();
    deliveredWhileOpen = Received().size();
    EXPECT_EQ(box.windowTitle(), "Error");
    EXPECT_EQ(box.text(), "SongFileOpen - failed");
    EXPECT_EQ(box.icon(), QMessageBox::Warning);
    EXPECT_EQ(box.windowModality(), Qt::ApplicationModal);
    EXPECT_EQ(box.buttons().size(), 1);
    // Owned by the window, so it opens over it.
    EXPECT_EQ(box.parentWidget(), window.get());
    box.button(QMessageBox::Ok)->click();
  });
  platform->ShowMessage("SongFileOpen - failed", "Error");
  EXPECT_EQ(paintsBeforeBox, 1);
  EXPECT_EQ(deliveredWhileOpen, 1u);

  // What went well is told with the information icon, over the window too.
  WhenOpen<QMessageBox>([&](QMessageBox& box) {
    EXPECT_EQ(box.text(), "Round trip: 12 frames (0.3 ms)");
    EXPECT_EQ(box.icon(), QMessageBox::Information);
    EXPECT_EQ(box.parentWidget(), window.get());
    box.button(QMessageBox::Ok)->click();
  });
  platform->ShowInformation("Round trip: 12 frames (0.3 ms)", "Measure Latency");
}
