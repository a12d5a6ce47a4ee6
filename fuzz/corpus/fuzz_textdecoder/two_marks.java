﻿class B {}
