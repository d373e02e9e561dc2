// testing/smoke/rig_smoke.cpp - the native side builds and runs its tests.
#include <gtest/gtest.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

// The simulator lives on a pty master and reads the line settings the Windows
// side makes; check the host lets us do both.
TEST(RigSmoke, PtyMasterSeesSlaveBaudRate) {
  int master = -1, slave = -1;
  ASSERT_EQ(0, openpty(&master, &slave, nullptr, nullptr, nullptr));
  termios t{};
  ASSERT_EQ(0, tcgetattr(slave, &t));
  cfsetspeed(&t, B115200);
  ASSERT_EQ(0, tcsetattr(slave, TCSANOW, &t));
  termios m{};
  ASSERT_EQ(0, tcgetattr(master, &m));
  EXPECT_EQ(B115200, cfgetospeed(&m));
  close(slave);
  close(master);
}
