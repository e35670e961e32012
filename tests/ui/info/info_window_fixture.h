#pragma once

// An information window shown over a stand-in main window.

#include <gtest/gtest.h>

#include <QLabel>
#include <QString>
#include <QWidget>

namespace glossmith::ui {

template <typename Window>
class InfoWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = new Window(&mainWindow_);
    window_->show();
  }
  void TearDown() override { delete window_; }

  QLabel* label(const char* name) const {
    return window_->template findChild<QLabel*>(QString::fromLatin1(name));
  }

  QWidget mainWindow_;
  Window* window_ = nullptr;
};

}  // namespace glossmith::ui
