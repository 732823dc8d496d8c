#pragma once

#include "kvmagcaliGlobal.h"

#include <memory>

class MagSampleCollector;

// Collects up to 1000 three-axis magnetometer samples and reports progress
// in percent. Copies share one collector, which the last copy releases.
// HandMagData may be called from several threads.
class KVMAGCALI_EXPORT Ckvmagcali
{
public:
    Ckvmagcali();
    Ckvmagcali(const Ckvmagcali& other);
    Ckvmagcali& operator=(const Ckvmagcali& other);
    ~Ckvmagcali();

    // Offers in[0..2]; returns the progress 0-100. Echoes the sample into
    // out[0..2] unless the collector was already full.
    int HandMagData(float* in, float* out);
    // Kept for callers; has no effect.
    void InitMagCal();

private:
    std::shared_ptr<MagSampleCollector> pCollector;
};
