// The scattered-data interpolation family: the method interface and the base
// that stores the samples.
#pragma once

#include <vector>

// A scattered-data interpolator in the plane. The derived class fixes the
// number of its integer and double tuning parameters and their defaults.
// Virtual operations are declared in their fixed slot order.
class K_InterpMethod {
public:
    K_InterpMethod(const K_InterpMethod&) = delete;
    K_InterpMethod& operator=(const K_InterpMethod&) = delete;

    virtual ~K_InterpMethod();
    // Store a tuning parameter. The index must be below IntParamCount() or
    // DoubleParamCount() respectively; it is not checked.
    virtual void SetIntParam(int index, int value);
    virtual void SetDoubleParam(int index, double value);
    // Add one sample (x, y, z).
    virtual void AddPoint(double x, double y, double z) = 0;
    // Remove every sample.
    virtual void ClearPoints() = 0;
    // out[i] = Interpolate(x[i], y[i]) for i in [0, n); nothing for n < 1.
    virtual void InterpolateMany(int n, const double* x, const double* y, double* out);
    // The interpolated value at (x, y).
    virtual double Interpolate(double x, double y) = 0;

    int IntParamCount() const { return intParamCount; }
    int DoubleParamCount() const { return doubleParamCount; }
    int IntParam(int index) const;
    double DoubleParam(int index) const;

protected:
    K_InterpMethod(int intParamCount, int doubleParamCount);

    int intParamCount;
    int doubleParamCount;
    std::vector<int> intParams;
    std::vector<double> doubleParams;
};

// The samples of a method, in insertion order, with exact duplicates of a
// position ignored.
class K_UseVectorStorage : public K_InterpMethod {
public:
    struct Sample {
        double x;
        double y;
        double z;
    };

    // Appends the sample unless one with exactly the same x and y is already
    // stored; then the first sample and its z stay.
    void AddPoint(double x, double y, double z) override;
    void ClearPoints() override;

    const std::vector<Sample>& Samples() const { return samples; }

protected:
    using K_InterpMethod::K_InterpMethod;

    std::vector<Sample> samples;
};
