#pragma once

#include <QByteArray>

// The market's Ed25519 verifying key, kept as two tables whose byte-wise XOR is
// the key. The build generates the tables (rondix-market embed-key) from the key
// it is given, or from its own development key pair.
struct MarketKey
{
    static const unsigned char kFirst[32];
    static const unsigned char kSecond[32];

    // The raw 32-byte key.
    static QByteArray verifyingKey();
};
