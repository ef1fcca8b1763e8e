# Positions, time code, gain laws and snapping.
