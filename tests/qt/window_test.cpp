// The real window on the offscreen platform: its shape, what a click and a paint
// do, and how messages reach the core.
#include <QAction>
#include <QDropEvent>
#include <QImage>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <thread>

#include "app/menus.h"
#include "app/window_proc.h"
#include "audio/stream.h"
#include "qt/qt_test_support.h"
#include "tests/fake/fake_platform.h"
#include "ui/geometry.h"

namespace {

// gtest takes ownership of the environment.
[[maybe_unused]] const ::testing::Environment* const kQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtTestEnvironment);

class WindowTest : public WindowFixture {};

// A submenu of choices is filled from the core each time its menu opens, the
// chosen item checked, and an item sends the entry's command with its index;
// with nothing to choose from, the submenu is disabled.
void ExpectChoices(QMenu& menu, QAction& item, const MenuEntry& entry) {
  ASSERT_NE(item.menu(), nullptr) << entry.text;
  EXPECT_EQ(item.text(), entry.text);
  fakeWaveOut.devices = {true, {"Speakers", "A & B"}, "", ""};
  fakeWaveIn.devices = {true, {"Speakers", "A & B"}, "", ""};
  InstallWaveDevices(&fakeWaveOut, &fakeWaveIn);
  emit menu.aboutToShow();
  const MenuChoices choices = entry.choices();
  const QList<QAction*> shown = item.menu()->actions();
  ASSERT_EQ(static_cast<size_t>(shown.size()), choices.items.size()) << entry.text;
  EXPECT_TRUE(item.menu()->isEnabled());
  for (size_t i = 0; i < choices.items.size(); ++i) {
    EXPECT_EQ(shown[static_cast<qsizetype>(i)]->text(),
              QString::fromStdString(choices.items[i]).replace(u'&', QLatin1String("&&")));
  }
  EXPECT_TRUE(shown[choices.chosen]->isChecked());
  Received().clear();
  shown[2]->trigger();
  ASSERT_EQ(Received().size(), 1u) << entry.text;
  EXPECT_EQ(Received()[0].id, WM_COMMAND);
  EXPECT_EQ(Received()[0].wParam, entry.command);
  EXPECT_EQ(Received()[0].lParam, 2);
  // The input's channels are offered whatever the devices.
  if (entry.command != kInputChannelsCommand) {
    EXPECT_EQ(shown[2]->text(), "A && B");
    fakeWaveOut.devices.offered = false;
    fakeWaveIn.devices.offered = false;
    emit menu.aboutToShow();
    EXPECT_FALSE(item.menu()->isEnabled());
    EXPECT_TRUE(item.menu()->actions().isEmpty());
  }
  fakeWaveOut.devices = {};
  fakeWaveIn.devices = {};
}

constexpr int kWidth = geometry::kPanel.Width();
constexpr int kHeight = geometry::kPanel.Height();

void SendMouse(QWidget& w, QEvent::Type type, QPoint at, Qt::MouseButton button,
               Qt::MouseButtons held, Qt::KeyboardModifiers keys = Qt::NoModifier) {
  QMouseEvent e(type, QPointF(at), QPointF(w.mapToGlobal(at)), button, held, keys);
  QApplication::sendEvent(&w, &e);
}

// Fills the whole back surface, including the part the panel never shows, with
// neighbouring pixels that all differ.
void FillPattern(Surface& s) {
  for (int y = 0; y < kSkinHeight; ++y) {
    for (int x = 0; x < kSkinWidth; ++x) {
      s.pixels[static_cast<size_t>(y) * kSkinWidth + x] =
          0xFF000000u | static_cast<uint32_t>((x * 7) & 0xFF) << 16 |
          static_cast<uint32_t>((y * 13) & 0xFF) << 8 | static_cast<uint32_t>((x ^ y) & 0xFF);
    }
  }
}

// Counts the paints of a widget and what they covered.
class PaintWatch : public QObject {
 public:
  explicit PaintWatch(QWidget& w) { w.installEventFilter(this); }
  int paints = 0;
  QRegion painted;

 protected:
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) {
      ++paints;
      painted += static_cast<QPaintEvent*>(e)->region();
    }
    return false;
  }
};

int pressCount = 0;
int pressedAt = -1;
int draggedTo = -1;
uint32_t pressedWith = 0;
void OnTestPress() {
  ++pressCount;
  pressedAt = controlManager.currentControl;
  pressedWith = controlManager.pressKeys;
}
void OnTestDrag() {
  draggedTo = controlManager.dragX;
}

}  // namespace

TEST_F(WindowTest, FixedPanelUnderTheMenuWithoutMaximise) {
  window->show();
  QCoreApplication::processEvents();
  EXPECT_EQ(Panel().size(), QSize(kWidth, kHeight));
  EXPECT_EQ(window->minimumSize(), window->maximumSize());
  EXPECT_EQ(window->size(), window->maximumSize());
  EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_TRUE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
  EXPECT_EQ(window->windowTitle(), "Sonavel 2.2");
  EXPECT_EQ(window->pos(), QPoint(0, 0));
  EXPECT_FALSE(window->windowIcon().isNull());
  // The panel fills the window below the menu bar.
  EXPECT_EQ(Panel().geometry().top(), window->menuBar()->geometry().bottom() + 1);
  EXPECT_EQ(window->height(), window->menuBar()->height() + kHeight);

  // The menu bar is the core's table: every entry with its text and shortcuts,
  // each sending its command and nothing else.
  const QList<QAction*> menus = window->menuBar()->actions();
  ASSERT_EQ(static_cast<size_t>(menus.size()), MenuBar().size());
  for (size_t m = 0; m < MenuBar().size(); ++m) {
    EXPECT_EQ(menus[static_cast<qsizetype>(m)]->text(), MenuBar()[m].title);
    const QList<QAction*> items = menus[static_cast<qsizetype>(m)]->menu()->actions();
    ASSERT_EQ(static_cast<size_t>(items.size()), MenuBar()[m].entries.size());
    for (size_t i = 0; i < MenuBar()[m].entries.size(); ++i) {
      const MenuEntry& entry = MenuBar()[m].entries[i];
      QAction* item = items[static_cast<qsizetype>(i)];
      if (entry.command == 0) {
        EXPECT_TRUE(item->isSeparator());
        continue;
      }
      if (entry.choices != nullptr) {
        ExpectChoices(*menus[static_cast<qsizetype>(m)]->menu(), *item, entry);
        continue;
      }
      EXPECT_EQ(item->text(), entry.text);
      // A check mark follows the core's state whenever the menu opens.
      EXPECT_EQ(item->isCheckable(), entry.checked != nullptr) << entry.text;
      for (const bool on : {true, false}) {
        if (entry.checked == nullptr) break;
        SetLoopBetweenMarkers(on);
        emit menus[static_cast<qsizetype>(m)]->menu()->aboutToShow();
        EXPECT_EQ(item->isChecked(), on) << entry.text;
      }
      // One key sequence of the action for each of the table's, none empty.
      const QStringList keys = QString::fromUtf8(entry.shortcuts).split(u';', Qt::SkipEmptyParts);
      ASSERT_EQ(item->shortcuts().size(), keys.size()) << entry.text;
      for (qsizetype k = 0; k < keys.size(); ++k) {
        EXPECT_EQ(item->shortcuts()[k].count(), 1) << entry.text;
        EXPECT_EQ(item->shortcuts()[k].toString(QKeySequence::PortableText), keys[k]);
      }
      Received().clear();
      item->trigger();
      ASSERT_EQ(Received().size(), 1u) << entry.text;
      EXPECT_EQ(Received()[0].id, WM_COMMAND);
      EXPECT_EQ(Received()[0].wParam, entry.command);
    }
  }
  EXPECT_EQ(menus[2]->text(), "&Track");
  EXPECT_EQ(menus[2]->menu()->actions()[0]->text(), "&Click Track\u2026");
  EXPECT_EQ(menus[2]->menu()->actions()[1]->text(), "&Bounce to Track\u2026");
  EXPECT_EQ(menus[2]->menu()->actions()[3]->text(), "&Loop Between Markers");
  EXPECT_EQ(menus[3]->text(), "&Audio");
  EXPECT_EQ(menus.back()->text(), "&Help");
  EXPECT_EQ(menus.back()->menu()->actions()[0]->text(), "Sonavel &Help");
  EXPECT_EQ(menus.back()->menu()->actions()[1]->text(), "&About");
}

TEST_F(WindowTest, ASecondWindowOpensOffsetAndTheTitleFollowsTheCore) {
  EXPECT_EQ(window->pos(), QPoint(0, 0));
  {
    MainWindow second(*platform);
    EXPECT_EQ(second.pos(), QPoint(32, 32));
  }
  // The second one's place is free again for the next.
  platform->AttachWindow(window.get());
  MainWindow third(*platform);
  EXPECT_EQ(third.pos(), QPoint(32, 32));

  platform->SetTitle("First Song \u2014 Sonavel 2.2");
  EXPECT_EQ(third.windowTitle(), QString::fromUtf8("First Song \u2014 Sonavel 2.2"));
}

// Keys pressed on the shown window reach Redo by both of its shortcuts, and the
// help page by F1.
TEST_F(WindowTest, RedoRunsByCtrlShiftZAndByCtrlYAndHelpByF1) {
  window->show();
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  const std::pair<QKeyCombination, uintptr_t> cases[] = {
      {Qt::CTRL | Qt::SHIFT | Qt::Key_Z, kRedoCommand},
      {Qt::CTRL | Qt::Key_Y, kRedoCommand},
      {QKeyCombination(Qt::Key_F1), kHelpCommand}};
  for (const auto& [keys, command] : cases) {
    Received().clear();
    QTest::keyClick(&Panel(), keys.key(), keys.keyboardModifiers());
    EXPECT_TRUE(std::any_of(Received().begin(), Received().end(), [c = command](const Message& m) {
      return m.id == WM_COMMAND && m.wParam == c;
    })) << QKeySequence(keys).toString().toStdString();
  }
}

TEST_F(WindowTest, PressAtPanelPixelReachesTheControlManager) {
  platform->SetReceiver([](const Message& m) {
    Record(m);
    WindowProc(m);
  });
  pressCount = 0;
  pressedAt = -1;
  draggedTo = -1;
  Sprite oneRow;
  oneRow.SetCorners(0, 0, 50, 1);
  const int control = controlManager.AddControl(oneRow, 100, 45);
  controlManager.SetPressHandler(control, OnTestPress);
  controlManager.SetDragHandler(control, OnTestDrag);

  // One row below the control: no hit, so the y coordinate is exact too.
  SendMouse(Panel(), QEvent::MouseButtonPress, {123, 46}, Qt::LeftButton, Qt::LeftButton);
  SendMouse(Panel(), QEvent::MouseButtonRelease, {123, 46}, Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(pressCount, 0);

  SendMouse(Panel(), QEvent::MouseButtonPress, {123, 45}, Qt::LeftButton, Qt::LeftButton);
  EXPECT_EQ(pressCount, 1);
  EXPECT_EQ(pressedAt, control);
  EXPECT_EQ(draggedTo, 123);
  // Dragging past the window's edge still reaches the control, coordinates signed.
  SendMouse(Panel(), QEvent::MouseMove, {-7, 400}, Qt::NoButton, Qt::LeftButton);
  EXPECT_EQ(draggedTo, -7);
  SendMouse(Panel(), QEvent::MouseButtonRelease, {-7, 400}, Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(controlManager.buttonDown, 0);
  ASSERT_FALSE(Received().empty());
  EXPECT_EQ(Received().back().id, WM_LBUTTONUP);
  EXPECT_EQ(PointParamX(Received().back().lParam), -7);
  EXPECT_EQ(PointParamY(Received().back().lParam), 400);
  EXPECT_EQ(pressedWith, 0u);

  // Ctrl held at a press reaches the handler (a speaker's solo).
  SendMouse(Panel(), QEvent::MouseButtonPress, {110, 45}, Qt::LeftButton, Qt::LeftButton,
            Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_EQ(pressCount, 2);
  EXPECT_EQ(pressedWith, MK_CONTROL);
}

TEST_F(WindowTest, MouseButtonsBecomePressesAndReleases) {
  auto ids = [] {
    std::vector<uint32_t> out;
    for (const Message& m : Received()) out.push_back(m.id);
    return out;
  };
  // A double click is two presses.
  SendMouse(Panel(), QEvent::MouseButtonPress, {10, 20}, Qt::LeftButton, Qt::LeftButton);
  SendMouse(Panel(), QEvent::MouseButtonRelease, {10, 20}, Qt::LeftButton, Qt::NoButton);
  SendMouse(Panel(), QEvent::MouseButtonDblClick, {10, 20}, Qt::LeftButton, Qt::LeftButton);
  SendMouse(Panel(), QEvent::MouseButtonRelease, {10, 20}, Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(ids(),
            (std::vector<uint32_t>{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDOWN, WM_LBUTTONUP}));
  EXPECT_EQ(Received()[2].lParam, MakePointParam(10, 20));

  // Other buttons are not the core's business; moves always are.
  Received().clear();
  SendMouse(Panel(), QEvent::MouseButtonPress, {5, 5}, Qt::RightButton, Qt::RightButton);
  SendMouse(Panel(), QEvent::MouseMove, {6, 5}, Qt::NoButton, Qt::RightButton);
  SendMouse(Panel(), QEvent::MouseButtonRelease, {6, 5}, Qt::RightButton, Qt::NoButton);
  EXPECT_EQ(ids(), (std::vector<uint32_t>{WM_MOUSEMOVE}));

  // A release swallowed while a modal box held the input is delivered before the
  // next move, so no drag goes on without the button.
  Received().clear();
  SendMouse(Panel(), QEvent::MouseButtonPress, {30, 40}, Qt::LeftButton, Qt::LeftButton);
  SendMouse(Panel(), QEvent::MouseMove, {31, 40}, Qt::NoButton, Qt::NoButton);
  SendMouse(Panel(), QEvent::MouseMove, {32, 40}, Qt::NoButton, Qt::NoButton);
  EXPECT_EQ(ids(),
            (std::vector<uint32_t>{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_MOUSEMOVE, WM_MOUSEMOVE}));
  EXPECT_EQ(Received()[1].lParam, MakePointParam(31, 40));
}

TEST_F(WindowTest, PaintShowsTheBackSurfaceAndSendsThePaintMessageOnceAfterwards) {
  FillPattern(controlManager.backSurface);
  const QImage shown = Panel().grab().toImage();
  ASSERT_EQ(shown.size(), QSize(kWidth, kHeight));
  int wrong = 0;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      if ((shown.pixel(x, y) & 0xFFFFFF) != (controlManager.backSurface.At(x, y) & 0xFFFFFF)) {
        ++wrong;
      }
    }
  }
  EXPECT_EQ(wrong, 0);

  // Not from inside the paint: the first paint's work may open a message box.
  EXPECT_TRUE(Received().empty());
  QCoreApplication::processEvents();
  ASSERT_EQ(Received().size(), 1u);
  EXPECT_EQ(Received()[0].id, WM_PAINT);
  Panel().grab();
  QCoreApplication::processEvents();
  EXPECT_EQ(Received().size(), 1u);
}

TEST_F(WindowTest, HighDensityScreenScalesByNearestNeighbour) {
  FillPattern(controlManager.backSurface);
  QImage target(kWidth * 2, kHeight * 2, QImage::Format_RGB32);
  target.setDevicePixelRatio(2);
  Panel().render(&target);
  int wrong = 0;
  for (int y = 0; y < kHeight; y += 7) {
    for (int x = 0; x < kWidth; x += 5) {
      const QRgb want = controlManager.backSurface.At(x, y) & 0xFFFFFF;
      for (int dy = 0; dy < 2; ++dy) {
        for (int dx = 0; dx < 2; ++dx) {
          if ((target.pixel(2 * x + dx, 2 * y + dy) & 0xFFFFFF) != want) ++wrong;
        }
      }
    }
  }
  EXPECT_EQ(wrong, 0);
}

TEST_F(WindowTest, FlushPaintsMarkedRectanglesAtOnceWithoutRunningTheLoop) {
  window->show();
  Panel().grab();  // the first paint and its message are another test's subject
  QCoreApplication::processEvents();
  Received().clear();
  PaintWatch watch(Panel());

  platform->Flush();
  EXPECT_EQ(watch.paints, 0);

  platform->Post({WM_TIMER, 1, 0});
  platform->Invalidate(20, 30, 8, 4);
  platform->Invalidate(600, 10, 40, 40);  // beyond the panel: never shown
  platform->Flush();
  EXPECT_EQ(watch.paints, 1);
  EXPECT_TRUE(watch.painted.contains(QRect(20, 30, 8, 4)));
  EXPECT_FALSE(watch.painted.intersects(QRect(40, 40, 400, 300)));
  // A click, timer or device message never runs inside a wait or a flush.
  EXPECT_TRUE(Received().empty());

  // A sleep shows what was drawn before it.
  platform->Invalidate(0, 0, 4, 4);
  platform->SleepMs(0);
  EXPECT_EQ(watch.paints, 2);
  platform->Flush();
  EXPECT_EQ(watch.paints, 2);
  QCoreApplication::processEvents();
  ASSERT_EQ(Received().size(), 1u);
  EXPECT_EQ(Received()[0].id, WM_TIMER);
}

TEST_F(WindowTest, PostsFromAnotherThreadArriveInOrderOnTheGuiThread) {
  static std::thread::id deliveredOn;
  platform->SetReceiver([](const Message& m) {
    deliveredOn = std::this_thread::get_id();
    Record(m);
  });
  constexpr int kCount = 2000;
  std::thread device([this] {
    for (int i = 0; i < kCount; ++i) {
      platform->Post({MM_WOM_DONE, static_cast<uintptr_t>(i), static_cast<intptr_t>(i * 3)});
    }
  });
  device.join();
  EXPECT_TRUE(Received().empty());
  QCoreApplication::processEvents();
  ASSERT_EQ(Received().size(), static_cast<size_t>(kCount));
  for (int i = 0; i < kCount; ++i) {
    ASSERT_EQ(Received()[i].wParam, static_cast<uintptr_t>(i));
    ASSERT_EQ(Received()[i].lParam, i * 3);
  }
  EXPECT_EQ(deliveredOn, std::this_thread::get_id());
}

TEST_F(WindowTest, ClosingDestroysOnceAndQuitKeepsTheCode) {
  window->show();
  QCoreApplication::processEvents();
  Received().clear();
  platform->StartTimer(100);
  // The core's Quit closes the window the way the close box does.
  platform->CloseWindow();
  EXPECT_FALSE(window->isVisible());
  window->close();
  ASSERT_EQ(Received().size(), 1u);
  EXPECT_EQ(Received()[0].id, WM_DESTROY);
  platform->StopTimer();
  platform->Quit(3);
  EXPECT_EQ(platform->ExitCode(), 3);

  const uint32_t before = platform->ClockMs();
  const uint32_t after = platform->ClockMs();
  EXPECT_LE(after - before, 1000u);
}

TEST_F(WindowTest, OneLocalFileDroppedReachesTheCoreAfterTheDropWithItsPanelPoint) {
  static std::string droppedPath;
  static intptr_t droppedAt = 0;
  static int drops = 0;
  drops = 0;
  platform->SetReceiver([](const Message& m) {
    if (m.id != WM_DROPFILES) return;
    ++drops;
    // The path lives only while the message is handled.
    droppedPath = *reinterpret_cast<const std::string*>(m.wParam);
    droppedAt = m.lParam;
  });
  window->show();
  QCoreApplication::processEvents();

  QMimeData one;
  one.setUrls({QUrl::fromLocalFile("/home/me/My Take.flac")});
  QMimeData two;
  two.setUrls({QUrl::fromLocalFile("/a.wav"), QUrl::fromLocalFile("/b.wav")});
  QMimeData web;
  web.setUrls({QUrl("https://example.org/a.wav")});
  const geometry::Rect strip = geometry::Strip(4);
  const QPoint onStrip = Panel().mapTo(window.get(), QPoint(strip.left + 3, strip.top + 2));
  auto enterAccepted = [&](QMimeData& data) {
    QDragEnterEvent enter(onStrip, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &enter);
    return enter.isAccepted();
  };
  EXPECT_TRUE(enterAccepted(one));
  EXPECT_FALSE(enterAccepted(two));
  EXPECT_FALSE(enterAccepted(web));

  QDropEvent drop(QPointF(onStrip), Qt::CopyAction, &one, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(window.get(), &drop);
  EXPECT_TRUE(drop.isAccepted());
  EXPECT_EQ(drops, 0) << "not inside the drop event";
  QCoreApplication::processEvents();
  ASSERT_EQ(drops, 1);
  EXPECT_EQ(droppedPath, "/home/me/My Take.flac");
  EXPECT_EQ(PointParamX(droppedAt), strip.left + 3);
  EXPECT_EQ(PointParamY(droppedAt), strip.top + 2);

  QDropEvent refused(QPointF(onStrip), Qt::CopyAction, &two, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(window.get(), &refused);
  QCoreApplication::processEvents();
  EXPECT_EQ(drops, 1);
}

namespace {

// A SIGTERM read while a start-up message was open ends only that message's
// event loop; the program must still end, not run on with its window shown.
TEST_F(WindowTest, AQuitDuringCreationEndsTheProgramWithoutShowingIt) {
  static QtPlatform* creating = nullptr;
  creating = platform.get();
  platform->SetReceiver([](const Message& m) {
    Record(m);
    if (m.id == WM_CREATE) creating->Quit(3);
  });
  // Were the event loop entered, this would end it: the failure shows as 99.
  QTimer::singleShot(5000, [] { QCoreApplication::exit(99); });
  EXPECT_EQ(RunMainWindow(*platform, *window), 3);
  EXPECT_FALSE(window->isVisible());
  ASSERT_EQ(Received().size(), 1u);
  EXPECT_EQ(Received()[0].id, WM_CREATE);
}

TEST(LocalPageUrl, KeepsEveryCharacterOfThePathAndTheFragmentApart) {
  const QUrl url = LocalPageUrl("/home/me/Songs #1?/100% done/Help.htm", "about");
  EXPECT_TRUE(url.isLocalFile());
  EXPECT_EQ(url.toLocalFile(), "/home/me/Songs #1?/100% done/Help.htm");
  EXPECT_EQ(url.fragment(), "about");
  EXPECT_FALSE(LocalPageUrl("/opt/Help.htm", "").hasFragment());
}

}  // namespace
