// NmeaScanner: the application's own NMEA 0183 decoder. A byte-driven state
// machine finds "$address,data*hh" sentences, checks their checksum (the XOR
// of every character between '$' and '*') and hands the good ones to one
// decoder per supported sentence, which updates the GpsData record.
//
// Supported: GPGGA, GPGSA, GPGSV, GPRMB, GPRMC, GPZDA (the address compared
// exactly, case included); other talkers and types only count in
// GpsData::total.
//
// The machine never sees line ends (the reader replaces them with a zero), so
// a sentence without a checksum keeps it gathering data up to the next '*'
// and its two digits: that sentence and the text after it are lost. An
// address of 8 characters or 256 data characters start the search for '$'
// again, so the buffers stay bounded whatever arrives.
//
// Checksum digits: the first is read as (byte x 16, less 112 above '9') in 8
// bits, so "a" to "f" read like "A" to "F"; the second must be "0" to "9" or
// "A" to "F", anything else never matches.
//
// One thread feeds and reads; the scanner holds no lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "app/gps/GpsData.h"

namespace rovana {

class NmeaScanner {
 public:
  static constexpr std::size_t kAddressSize = 8;  // so at most 7 characters
  static constexpr std::size_t kDataSize = 256;   // so at most 255 characters
  static constexpr std::size_t kFieldSize = 25;   // a field is read as at most 24 characters

  // Passes each byte to the state machine. Zeros (the reader's line ends)
  // are skipped: a line cut where the source paused, fed with its zero, goes
  // on with the next line.
  void Feed(const char* bytes, std::size_t count);
  void Feed(std::string_view bytes) { Feed(bytes.data(), bytes.size()); }

  // The record back to its reset values, and the machine back to looking for '$'.
  void Reset();

  const GpsData& data() const { return data_; }
  // The connection fills the RMC part itself for receivers that send only GGA.
  GpsData& data() { return data_; }

  // Copies field `n` of `data` (counted from 0 after the address; field n
  // begins after the n-th comma and ends at a comma, a '*' or the
  // end) into `out`, at most `size` - 1 characters and a terminating zero.
  // False, with `out` empty, when the field is empty or absent.
  static bool GetField(std::string_view data, int n, char* out, std::size_t size);

 private:
  void Step(unsigned char byte);
  void Handle();

  GpsData data_;
  int step_ = 0;            // 0 look for '$', 1 address, 2 data, 3 and 4 checksum digits
  std::uint8_t xor_ = 0;    // running checksum of address, comma and data
  std::uint8_t received_ = 0;  // the checksum the sentence carries
  char address_[kAddressSize] = {};
  char buffer_[kDataSize] = {};
  std::size_t length_ = 0;  // characters in address_ (step 1) or buffer_ (step 2)
  std::size_t addressLength_ = 0;
};

}  // namespace rovana
