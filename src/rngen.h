// Mersenne Twister MT19937 in its first published form (seeding by 69069).
#pragma once

class rngen {
public:
    unsigned long mt[624];
    int mti;

    rngen() : mti(625) {}

    void seed(unsigned long S);
    void operator>>(double& D);
    double get();
    int get_index(int Size);
    double gauss(double Variance, double Bias);
};
