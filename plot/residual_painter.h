#pragma once
// Drawing of the residual plot: being written.
