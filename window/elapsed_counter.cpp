// The seconds counter in ElapsedValue. It has no variable of its own: each tick reads the
// caption, adds one and writes it back, so it counts timer ticks, not measured time.
#include "services/text_ops.h"
#include "window/events.h"
#include "window/installer_window.h"

static double CounterValue() {
  Text caption = GetCaption(Control::ElapsedValue);
  return ToNumber(caption.c_str());
}

void OnElapsedTimerTick() {
  const double v = CounterValue();
  Text next = ToText(v + 1);
  SetCaption(Control::ElapsedValue, next.c_str());
  if (CounterValue() - 100 > 0.0000001) SetTextColour(Control::ElapsedValue, kCounterOrange);
  if (CounterValue() - 130 > 0.0000001) SetTextColour(Control::ElapsedValue, kCounterRed);
}
