// placeholder until the emulated hub lands
