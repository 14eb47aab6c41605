#pragma once

namespace tavolin {

// A complex value as the spectral stages store it: real part first.
struct Complex {
  double re = 0.0;
  double im = 0.0;
};

}  // namespace tavolin
