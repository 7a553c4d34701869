p = new ZenolithCE.Position
p.Latitude = 52.5
p.Longitude = +13.25e0
call p.SetAltitude(1, 34.5)
print p.Altitude(1)
q = p.Copy()
t = "a \"quoted\" text\\ with # inside"
n = true
print t
x = new {3A705FDC-6475-4F80-A254-FF7072A87966}
s = new ZenolithCE.NmeaSentence
s.Sentence = "$GPGGA,123519,4807.038,N*47"
print s.Fields(2)
call s.SetField(3, -0.5, x)
d = new ZenolithCE.CustomDatum
d.RotX = d
