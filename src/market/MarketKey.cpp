#include "market/MarketKey.h"

QByteArray MarketKey::verifyingKey()
{
    QByteArray key(32, '\0');
    for (int i = 0; i < 32; ++i)
        key[i] = char(kFirst[i] ^ kSecond[i]);
    return key;
}
