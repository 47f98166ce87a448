// The window as a client of a Wayland compositor, which tells no window where
// it stands: it opens, and its close keeps the place stored under X11.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QTest>

#include "window_test.h"

namespace {

using testing_support::Dword;

class WaylandWindowTest : public testing_support::WindowTest {};

TEST_F(WaylandWindowTest, CloseKeepsThePlaceStoredUnderX11) {
  ASSERT_EQ(QGuiApplication::platformName(), "wayland");
  StoreValues({{"Xpos", Dword(700)}, {"Ypos", Dword(500)}});
  TForm1& w = MakeForm();
  w.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
  w.Port->setCurrentIndex(2);
  EXPECT_TRUE(w.close());
  const auto stored = StoredValues(machineFolder);
  EXPECT_EQ(stored.at("Xpos"), Dword(700));
  EXPECT_EQ(stored.at("Ypos"), Dword(500));
  EXPECT_EQ(stored.at("ComPort"), Dword(3));
}

}  // namespace
