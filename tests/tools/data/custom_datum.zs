# A datum of our own, its members put and printed, and failures that go on.
d = new ZenolithCE.CustomDatum
print d.SemiMajorAxis
d.SemiMajorAxis = 6378137
print d.SemiMajorAxis
d.E2 = -0.0066   # stored without its sign
print d.E2

d.DeltaX = "-89.5"
print d.DeltaX
print d.Flattening
d.DeltaY = "north"
s = new ZenolithCE.NmeaSentence
print s.Fields(1)
q = new ZenolithCE.Nothing
print d.ScaleFactor(1)
call d.SemiMajorAxis
a = d.SemiMajorAxis
print a
print d
