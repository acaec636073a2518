# type  name  file
