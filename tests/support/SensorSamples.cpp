#include "SensorSamples.h"

QByteArray PatternSensorFile()
{
    QByteArray bytes(SensorFileSize, '\0');
    for (int i = 0; i < SensorFileSize; ++i)
        bytes[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
    return bytes;
}
