// link/Crc16.cpp - placeholder
