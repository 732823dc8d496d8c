#include "UsbNodePrinter.h"

void UsbNodePrinter::onFrame(const SensorFrame& f)
{
    const SensorFrame s = f;  // packed fields, copied out before use
    std::fprintf(out,
                 "0x%08x,%u,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,%.9g,"
                 "%.9g,%u\n",
                 unsigned(s.nodeId), nodePosition(s.nodeId), s.accel[0], s.accel[1], s.accel[2], s.gyro[0], s.gyro[1],
                 s.gyro[2], s.mag[0], s.mag[1], s.mag[2], s.quat[0], s.quat[1], s.quat[2], s.quat[3], s.euler[0],
                 s.euler[1], s.euler[2], s.location[0], s.location[1], s.location[2], unsigned(s.battery));
    ++count;
}
