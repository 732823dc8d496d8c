#include "Ckvmagcali.h"
#include "MagSampleCollector.h"

Ckvmagcali::Ckvmagcali()
    : pCollector(std::make_shared<MagSampleCollector>())
{
}

Ckvmagcali::Ckvmagcali(const Ckvmagcali& other) = default;
Ckvmagcali& Ckvmagcali::operator=(const Ckvmagcali& other) = default;
Ckvmagcali::~Ckvmagcali() = default;

int Ckvmagcali::HandMagData(float* in, float* out)
{
    const int progress = pCollector->offer(in);
    if (progress < 0)
        return 100;
    out[0] = in[0];
    out[1] = in[1];
    out[2] = in[2];
    return progress;
}

void Ckvmagcali::InitMagCal()
{
}
