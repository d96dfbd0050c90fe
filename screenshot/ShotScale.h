#pragma once

// Sizes of the screenshot tool grow with the screen: a factor of the desktop height against
// 1080 rows, never below 1.
class ShotScale {
public:
    static float ForHeight(int desktop_height);
    // Computed once from the primary screen.
    static float Factor();
    // `size` times the factor, truncated.
    static int Scaled(int size);
};
