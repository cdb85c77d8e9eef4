// Fitted triode transfer curve on one load line: plate-to-cathode voltage as a rational function
// (degree 6 over degree 6) of the grid-to-cathode voltage.
#pragma once

namespace amp {

struct TriodeCurve {
    // Interleaved: numerator p_k = c[2k] (k = 0..6), denominator q_k = c[2k-1] (k = 1..6), q_0 = 1.
    double c[13];

    constexpr double numerator(double v) const noexcept
    {
        return ((((((c[12] * v + c[10]) * v + c[8]) * v + c[6]) * v + c[4]) * v + c[2]) * v + c[0]);
    }
    constexpr double denominator(double v) const noexcept
    {
        return ((((((c[11] * v + c[9]) * v + c[7]) * v + c[5]) * v + c[3]) * v + c[1]) * v + 1.0);
    }
    constexpr double vpk(double v) const noexcept { return numerator(v) / denominator(v); }
};

inline constexpr TriodeCurve curveA{{71.42421809676242, 0.4086298284135495, -49.26634128668552,
                                     0.4417475706213798, 20.76338922285656, 0.1359605247790958,
                                     -2.614081288640218, 0.026046184027046, 0.2813164189029517,
                                     0.002051755709266653, -0.009204498022369742, 6.513636667369788e-05,
                                     0.0001640065234981901}};

inline constexpr TriodeCurve curveB{{117.0870805431241, -0.02513256917963978, -79.20651507234204,
                                     0.2296464343159335, 27.8542183755586, 0.06879313202908972,
                                     -3.490001363429806, 0.01739836685347945, 0.356716804972615,
                                     0.001453515303461296, -0.01143429622245191, 4.978296368525056e-05,
                                     0.0002045677157867526}};

inline constexpr TriodeCurve curveC{{113.6463655918881, -0.01742109662908865, -77.20779125702153,
                                     0.2141919317152052, 26.66666578583706, 0.0611321639256995,
                                     -3.355582190346414, 0.01593667172994474, 0.3348395801568758,
                                     0.001341177655714935, -0.01067114734140345, 4.638071747726255e-05,
                                     0.0001880101628949561}};

inline constexpr TriodeCurve curveD{{74.28788601722562, 0.4094490099708854, -50.64489276706355,
                                     0.452728947736635, 21.43262467976393, 0.1385596458140827,
                                     -2.692469818589406, 0.0258098725394709, 0.288982432976921,
                                     0.001979468638827205, -0.009566888014018914, 6.129651388255708e-05,
                                     0.0001698267403111727}};

} // namespace amp
